// The processor context of a dump's thread, taken from the context a signal interrupted.
#pragma once

#include <ucontext.h>

#include "crash/posix/MiniDumpFormat.h"

namespace ExceptionTranslator::minidump {

// The general registers, flags, segment selectors and, when the kernel saved them, the x87/SSE
// registers.
void FillContext(const ucontext_t& signalContext, ContextAmd64& context) noexcept;

}  // namespace ExceptionTranslator::minidump
