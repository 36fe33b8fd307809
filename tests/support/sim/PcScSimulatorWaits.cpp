// The simulator's status-change waits, ATR location and the means to observe blocked waits.
#include <algorithm>
#include <span>

#include "PcScSimulator.h"
#include "pcsc/AtrMask.h"

using sim::JournalEntry;

uint32_t PcScSimulator::GetStatusChange(ScardContext context, uint32_t timeoutMs,
                                        PcScReaderState* states, uint32_t count) {
    const JournalEntry entry{.call = Call::GetStatusChange, .context = context};
    return Perform(entry, [&](Lock& lock, JournalEntry&) {
        bool blocked = false;
        const uint32_t result = WaitForChange(lock, context, timeoutMs, states, count, blocked);
        m_waitersBlocked -= blocked ? 1 : 0;
        return result;
    });
}

uint32_t PcScSimulator::WaitForChange(Lock& lock, ScardContext context, uint32_t timeoutMs,
                                      PcScReaderState* states, uint32_t count, bool& blocked) {
    const auto open = m_contexts.find(context);
    if (open == m_contexts.end()) {
        return SCARD_E_INVALID_HANDLE;
    }
    const uint64_t cancellations = open->second;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (m_service.Dead(context)) {
            return SCARD_E_SERVICE_STOPPED;
        }
        bool changed = false;
        for (PcScReaderState& state : std::span(states, count)) {
            changed = sim::UpdateEntry(state, m_readers, m_connections) || changed;
        }
        if (changed) {
            return SCARD_S_SUCCESS;
        }
        // Cancelled after the wait started, or released.
        if (!m_contexts.contains(context) || m_contexts.at(context) != cancellations) {
            return SCARD_E_CANCELLED;
        }
        if (timeoutMs != SCARD_INFINITE && std::chrono::steady_clock::now() >= deadline) {
            return SCARD_E_TIMEOUT;
        }
        if (!blocked) {
            blocked = true;
            ++m_waitersBlocked;
            ++m_waitsBlockedSoFar;
            Changed();
        }
        if (timeoutMs == SCARD_INFINITE) {
            m_changed.wait(lock);
        } else {
            m_changed.wait_until(lock, deadline);
        }
    }
}

uint32_t PcScSimulator::LocateCardsByATR(ScardContext context, const PcScAtrMask* masks,
                                         uint32_t maskCount, PcScReaderState* states,
                                         uint32_t count) {
    const JournalEntry entry{.call = Call::LocateCardsByATR, .context = context};
    return Perform(entry, [&](Lock&, JournalEntry&) {
        if (!m_contexts.contains(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        for (PcScReaderState& state : std::span(states, count)) {
            Locate(state, std::span(masks, maskCount));
        }
        return SCARD_S_SUCCESS;
    });
}

void PcScSimulator::Locate(PcScReaderState& entry, std::span<const PcScAtrMask> masks) const {
    if ((entry.dwCurrentState & SCARD_STATE_IGNORE) != 0) {
        return;
    }
    sim::UpdateEntry(entry, m_readers, m_connections);
    const sim::SimReader* reader =
        sim::FindReader(m_readers, entry.szReader != nullptr ? entry.szReader : u"");
    const bool matched = reader != nullptr && reader->card &&
                         std::any_of(masks.begin(), masks.end(), [reader](const PcScAtrMask& m) {
                             const std::vector<uint8_t>& atr = reader->card->atr;
                             return AtrMatches(m, atr.data(), static_cast<uint32_t>(atr.size()));
                         });
    entry.dwEventState =
        (entry.dwEventState & ~SCARD_STATE_ATRMATCH) | (matched ? SCARD_STATE_ATRMATCH : 0);
}

bool PcScSimulator::Await(const std::function<bool()>& done) const {
    Lock lock(m_mutex);
    return m_changed.wait_for(lock, kAwaitDeadline, done);
}
