// What the signal handler knows of a thread: whether it was marked, and whether it is inside the
// crash procedure already (and for which signal). Marking gives the thread an alternate signal
// stack of its own, large enough for the crash procedure, freed when the thread ends.
#pragma once

namespace ExceptionTranslator {

struct ThreadFaultState {
    bool inProcedure = false;
    int signal = 0;  // the fault the procedure runs for
};

// The calling thread's state; null when it was never marked. Async-signal-safe.
ThreadFaultState* MarkedThreadState() noexcept;

// Marks the calling thread (idempotent).
void MarkThreadState() noexcept;

}  // namespace ExceptionTranslator
