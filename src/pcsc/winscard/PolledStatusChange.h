// SCardGetStatusChange with WinSCard's contract over a winscard that never waits: Wine 10's hands
// every entry to pcsc-lite with the current state SCARD_STATE_UNAWARE (and writes that back), so
// each call returns at once with the readers' states. The wait is kept here instead: the platform
// is asked every kPollInterval, each entry is judged against the caller's current state (the PnP
// entry by its reader count in bits 16 and up, a reader by its state flags and event count, an
// unaware caller always), SCARD_STATE_CHANGED is set where it changed and cleared elsewhere, and
// the call returns once one changed, at the time-out (SCARD_E_TIMEOUT), or when Cancel or the
// context's release comes (SCARD_E_CANCELLED). The callers' current states stay as they were. A
// reader that pcsc-lite does not know is reported as SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED |
// SCARD_STATE_IGNORE beside the others, where pcsc-lite fails the whole call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "pcsc/PcScApi.h"

class PolledStatusChange {
  public:
    static constexpr std::chrono::milliseconds kPollInterval{50};

    // One platform call that does not wait.
    using Query = std::function<uint32_t(PcScReaderState* states, uint32_t count)>;

    uint32_t Run(ScardContext context, uint32_t timeoutMs, PcScReaderState* states, uint32_t count,
                 const Query& query);
    // Ends the context's polls in progress (Cancel, and the context's release).
    void Cancel(ScardContext context);
    // Ends the context's polls in progress and forgets the context (its release), so that the
    // bookkeeping does not grow with every context a long-running host has used.
    void Forget(ScardContext context);

  private:
    std::mutex m_mutex;
    std::condition_variable m_cancelled;
    std::unordered_map<ScardContext, uint64_t> m_cancels;  // per context, counted up by Cancel
};
