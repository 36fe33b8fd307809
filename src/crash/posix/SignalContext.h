// The processor context of a dump's thread: the faulting thread's from the context the signal
// interrupted, another thread's from the registers read while it was stopped.
#pragma once

#include <sys/user.h>
#include <ucontext.h>

#include "crash/posix/MiniDumpFormat.h"

namespace ExceptionTranslator::minidump {

// The general registers, flags, segment selectors and, when the kernel saved them, the x87/SSE
// registers.
void FillContext(const ucontext_t& signalContext, ContextAmd64& context) noexcept;
// The same from a stopped thread's general and x87/SSE registers.
void FillContext(const user_regs_struct& registers, const user_fpregs_struct& fpu,
                 ContextAmd64& context) noexcept;

}  // namespace ExceptionTranslator::minidump
