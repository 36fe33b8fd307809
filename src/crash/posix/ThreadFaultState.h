// What the signal handler knows of a thread: whether it was marked, and whether it is inside the
// crash procedure already (and for which signal). Marking gives the thread an alternate signal
// stack of the module's, large enough for the crash procedure and freed when the thread ends. It
// is in place only while the thread is inside an operation; outside, the thread has the alternate
// stack it had before (a host's runtime or a sanitizer may have given it one of a few KiB).
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
