// What the vectored handler knows of a thread, in a TLS slot of its own: whether it was marked and
// whether it runs the crash procedure already. A TLS slot rather than thread_local, whose emulated
// form under MinGW has been seen to lose stores at -O2.
#pragma once

namespace ExceptionTranslator {

bool ThreadIsMarked() noexcept;
void MarkThread() noexcept;

bool ThreadInProcedure() noexcept;
void SetThreadInProcedure(bool inside) noexcept;

}  // namespace ExceptionTranslator
