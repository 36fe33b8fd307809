#include "crash/win32/FaultTrampoline.h"

#include "crash/StructuredException.h"

extern "C" {

// Called by the trampoline with an aligned stack.
[[noreturn]] void ZephThrowStructuredFault(uint32_t code) {
    throw ExceptionTranslator::StructuredException(code);
}

// Entered with the code in ecx and the return address (the faulting instruction + 1) on the stack.
// Its unwind information restores rsp from rbp, whatever alignment the fault left.
void ZephFaultTrampoline();

asm(R"(
    .text
    .globl ZephFaultTrampoline
    .def ZephFaultTrampoline; .scl 2; .type 32; .endef
    .seh_proc ZephFaultTrampoline
ZephFaultTrampoline:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    .seh_endprologue
    andq $-16, %rsp
    subq $32, %rsp
    call ZephThrowStructuredFault
    int3
    .seh_endproc
)");
}

namespace ExceptionTranslator {

void RedirectToFaultThrower(CONTEXT& context, uint32_t code) noexcept {
    context.Rsp -= sizeof(DWORD64);
    *reinterpret_cast<DWORD64*>(context.Rsp) = context.Rip + 1;
    context.Rip = reinterpret_cast<DWORD64>(&ZephFaultTrampoline);
    context.Rcx = code;
}

}  // namespace ExceptionTranslator
