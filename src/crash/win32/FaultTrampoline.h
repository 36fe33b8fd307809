// Carrying a fault out of the vectored handler: a handler cannot throw through the system's
// exception dispatcher, so it redirects the faulting thread into a small function that throws, set
// up as if the faulting instruction had called it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace ExceptionTranslator {

// Rewrites the context: the faulting address + 1 becomes the return address of a frame pushed
// below the stack pointer (+ 1, so that the unwinder, which looks up the byte before a return
// address, finds the faulting instruction's region), and the thread resumes in the trampoline with
// the code as its first argument. The trampoline keeps a frame pointer, so an unaligned stack at
// the fault does no harm.
void RedirectToFaultThrower(CONTEXT& context, uint32_t code) noexcept;

}  // namespace ExceptionTranslator
