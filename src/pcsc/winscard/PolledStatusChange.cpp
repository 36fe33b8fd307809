#include "pcsc/winscard/PolledStatusChange.h"

#include <vector>

#include "pcsc/PcScConstants.h"

namespace {

// What a reader's change is judged by: its event count (bits 16 and up) and the flags that
// describe the reader and its card; the caller's own flags (ignore, changed, ATR match) and the
// unpowered hint do not count.
constexpr uint32_t kCompared = 0xFFFF0000u | SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE |
                               SCARD_STATE_EMPTY | SCARD_STATE_PRESENT | SCARD_STATE_EXCLUSIVE |
                               SCARD_STATE_INUSE | SCARD_STATE_MUTE;

bool IsPnP(const char16_t* name) {
    return name != nullptr && std::u16string_view(name) == kPnPNotificationReader;
}

// Marks each entry changed or not against the caller's current state; true when one changed.
bool MarkChanges(PcScReaderState* states, uint32_t count) {
    bool any = false;
    for (uint32_t i = 0; i < count; ++i) {
        PcScReaderState& entry = states[i];
        if ((entry.dwCurrentState & SCARD_STATE_IGNORE) != 0) {
            continue;
        }
        const uint32_t compared = IsPnP(entry.szReader) ? 0xFFFF0000u : kCompared;
        const bool changed = entry.dwCurrentState == SCARD_STATE_UNAWARE ||
                             (entry.dwEventState & compared) != (entry.dwCurrentState & compared);
        if (IsPnP(entry.szReader)) {
            entry.dwEventState &= 0xFFFF0000u;
        }
        entry.dwEventState = changed ? entry.dwEventState | SCARD_STATE_CHANGED
                                     : entry.dwEventState & ~SCARD_STATE_CHANGED;
        any = any || changed;
    }
    return any;
}

// One query of every entry. pcsc-lite fails the whole call for a reader it does not know (one
// that went, or a name that never was); WinSCard reports that entry as unknown and the others as
// usual, so then each entry is asked alone.
uint32_t QueryEntries(PcScReaderState* states, uint32_t count,
                      const PolledStatusChange::Query& query) {
    const uint32_t result = query(states, count);
    if (result != SCARD_E_UNKNOWN_READER) {
        return result;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if ((states[i].dwCurrentState & SCARD_STATE_IGNORE) != 0) {
            continue;
        }
        const uint32_t alone = query(&states[i], 1);
        if (alone == SCARD_E_UNKNOWN_READER) {
            states[i].dwEventState = SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE;
        } else if (alone != SCARD_S_SUCCESS) {
            return alone;
        }
    }
    return SCARD_S_SUCCESS;
}

}  // namespace

uint32_t PolledStatusChange::Run(ScardContext context, uint32_t timeoutMs, PcScReaderState* states,
                                 uint32_t count, const Query& query) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t cancels = m_cancels[context];
    std::vector<uint32_t> current(count);
    for (;;) {
        lock.unlock();
        for (uint32_t i = 0; i < count; ++i) {
            current[i] = states[i].dwCurrentState;
        }
        const uint32_t result = QueryEntries(states, count, query);
        for (uint32_t i = 0; i < count; ++i) {
            states[i].dwCurrentState = current[i];
        }
        if (result != SCARD_S_SUCCESS) {
            return result;
        }
        if (MarkChanges(states, count)) {
            return SCARD_S_SUCCESS;
        }
        lock.lock();
        const auto now = Clock::now();
        if (timeoutMs != SCARD_INFINITE && now >= deadline) {
            return SCARD_E_TIMEOUT;
        }
        const auto until = timeoutMs == SCARD_INFINITE ? now + kPollInterval
                                                       : std::min(now + kPollInterval, deadline);
        const auto cancelled = [&] {
            const auto entry = m_cancels.find(context);
            return entry == m_cancels.end() || entry->second != cancels;
        };
        if (m_cancelled.wait_until(lock, until, cancelled)) {
            return SCARD_E_CANCELLED;
        }
    }
}

void PolledStatusChange::Cancel(ScardContext context) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_cancels[context];
    }
    m_cancelled.notify_all();
}

void PolledStatusChange::Forget(ScardContext context) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancels.erase(context);
    }
    m_cancelled.notify_all();
}
