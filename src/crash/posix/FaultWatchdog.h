// A guard against a crash procedure that never returns, for instance because the fault hit the
// allocator while it held its lock and the procedure's trace line waits for it. Armed before the
// procedure, it ends the process with the original fault and its default action when the time is
// up; disarmed after it.
#pragma once

namespace ExceptionTranslator {

// Seconds the procedure may take: the dump, the message and a restart (which waits up to 20 s).
inline constexpr int kProcedureSeconds = 60;

// Arms a timer that sends SIGALRM to the calling thread: true when this thread now holds the
// watchdog. False while another thread's procedure holds it (that procedure stays guarded), or when
// no timer can be made. Async-signal-safe.
bool ArmFaultWatchdog(int faultSignal) noexcept;
// Stands the watchdog down, only on the thread that armed it: a procedure on another thread that
// ends first must not leave the one still running unguarded, nor a timer armed behind it.
void DisarmFaultWatchdog() noexcept;

// Restores the default action of the signal and raises it: the process ends as the fault would
// have ended it without any handler.
[[noreturn]] void EndWithFault(int faultSignal) noexcept;

}  // namespace ExceptionTranslator
