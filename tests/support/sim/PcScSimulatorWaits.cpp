// The simulator's status-change waits, ATR location and the means to observe blocked waits.
#include <algorithm>
#include <span>

#include "PcScSimulator.h"
#include "pcsc/AtrMask.h"

namespace {

constexpr uint32_t kReportedBits = SCARD_STATE_UNKNOWN | SCARD_STATE_EMPTY | SCARD_STATE_PRESENT |
                                   SCARD_STATE_EXCLUSIVE | SCARD_STATE_INUSE;

uint32_t CountOf(uint32_t state) {
    return state >> 16;
}

// Writes the entry's event state (and ATR); true when it differs from the caller's current state:
// the reported bits differ, or the caller's non-zero event count does (SCARD_STATE_CHANGED and
// SCARD_STATE_ATRMATCH take no part). An entry with SCARD_STATE_IGNORE is left alone; an unknown
// name reads SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE, changed unless the caller knew it unknown;
// the PnP pseudo-reader carries the number of readers in bits 16 and up.
bool UpdateEntry(PcScReaderState& entry, const sim::Readers& readers,
                 const sim::ConnectionTable& connections) {
    const uint32_t current = entry.dwCurrentState;
    if ((current & SCARD_STATE_IGNORE) != 0) {
        return false;
    }
    const std::u16string_view name = entry.szReader != nullptr ? entry.szReader : u"";
    bool changed = false;
    uint32_t state = 0;
    const sim::SimReader* reader = sim::FindReader(readers, name);
    entry.cbAtr = 0;
    if (name == kPnPNotificationReader) {
        state = static_cast<uint32_t>(readers.size()) << 16;
        changed = CountOf(current) != CountOf(state);
    } else if (reader == nullptr) {
        state = SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE;
        changed = (current & SCARD_STATE_UNKNOWN) == 0;
    } else {
        // Present or empty as SCARD_READERSTATEW reports it, with the event count in bits 16 up.
        state = static_cast<uint32_t>(reader->eventCount) << 16 |
                (reader->card ? SCARD_STATE_PRESENT | connections.SharingState(reader->name)
                              : SCARD_STATE_EMPTY);
        changed = (current & kReportedBits) != (state & kReportedBits) ||
                  (CountOf(current) != 0 && CountOf(current) != CountOf(state));
        if (reader->card) {
            const size_t length = std::min<size_t>(reader->card->atr.size(), SCARD_ATR_CAPACITY);
            std::copy_n(reader->card->atr.begin(), length, entry.rgbAtr);
            entry.cbAtr = static_cast<uint32_t>(length);
        }
    }
    entry.dwEventState = state | (changed ? SCARD_STATE_CHANGED : 0);
    return changed;
}

}  // namespace

uint32_t PcScSimulator::GetStatusChange(ScardContext context, uint32_t timeoutMs,
                                        PcScReaderState* states, uint32_t count) {
    return Perform({.call = Call::GetStatusChange, .context = context}, [&](Lock& lock, auto&) {
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
        if (m_deadContexts.contains(context)) {
            return SCARD_E_SERVICE_STOPPED;
        }
        bool changed = false;
        for (PcScReaderState& state : std::span(states, count)) {
            changed = UpdateEntry(state, m_readers, m_connections) || changed;
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
    return Perform({.call = Call::LocateCardsByATR, .context = context}, [&](auto&&...) {
        if (!m_contexts.contains(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        for (PcScReaderState& state : std::span(states, count)) {
            if ((state.dwCurrentState & SCARD_STATE_IGNORE) != 0) {
                continue;
            }
            UpdateEntry(state, m_readers, m_connections);
            const sim::SimReader* reader =
                sim::FindReader(m_readers, state.szReader != nullptr ? state.szReader : u"");
            const auto matches = [reader](const PcScAtrMask& m) {
                const std::vector<uint8_t>& atr = reader->card->atr;
                return AtrMatches(m, atr.data(), static_cast<uint32_t>(atr.size()));
            };
            if (reader != nullptr && reader->card &&
                std::any_of(masks, masks + maskCount, matches)) {
                state.dwEventState |= SCARD_STATE_ATRMATCH;
            }
        }
        return SCARD_S_SUCCESS;
    });
}

bool PcScSimulator::Await(const std::function<bool()>& done) const {
    Lock lock(m_mutex);
    // Long enough to mean "hung" on a loaded machine under a sanitizer.
    return m_changed.wait_for(lock, std::chrono::seconds(10), done);
}
