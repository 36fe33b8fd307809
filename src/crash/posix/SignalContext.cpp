#include "crash/posix/SignalContext.h"

#include <cstring>

namespace ExceptionTranslator::minidump {
namespace {

void FillIntegerRegisters(const gregset_t& gregs, ContextAmd64& context) noexcept {
    auto reg = [&gregs](int index) { return static_cast<uint64_t>(gregs[index]); };
    context.rax = reg(REG_RAX);
    context.rcx = reg(REG_RCX);
    context.rdx = reg(REG_RDX);
    context.rbx = reg(REG_RBX);
    context.rsp = reg(REG_RSP);
    context.rbp = reg(REG_RBP);
    context.rsi = reg(REG_RSI);
    context.rdi = reg(REG_RDI);
    context.r8 = reg(REG_R8);
    context.r9 = reg(REG_R9);
    context.r10 = reg(REG_R10);
    context.r11 = reg(REG_R11);
    context.r12 = reg(REG_R12);
    context.r13 = reg(REG_R13);
    context.r14 = reg(REG_R14);
    context.r15 = reg(REG_R15);
    context.rip = reg(REG_RIP);
    context.eFlags = static_cast<uint32_t>(reg(REG_EFL));
}

// The kernel packs cs, gs, fs and ss into one slot, 16 bits each from the lowest.
void FillSegments(const gregset_t& gregs, ContextAmd64& context) noexcept {
    const auto packed = static_cast<uint64_t>(gregs[REG_CSGSFS]);
    context.segCs = static_cast<uint16_t>(packed);
    context.segGs = static_cast<uint16_t>(packed >> 16);
    context.segFs = static_cast<uint16_t>(packed >> 32);
    context.segSs = static_cast<uint16_t>(packed >> 48);
}

}  // namespace

void FillContext(const ucontext_t& signalContext, ContextAmd64& context) noexcept {
    context = ContextAmd64{};
    context.contextFlags = kContextControl | kContextInteger | kContextSegments;
    FillIntegerRegisters(signalContext.uc_mcontext.gregs, context);
    FillSegments(signalContext.uc_mcontext.gregs, context);
    const fpregset_t fpu = signalContext.uc_mcontext.fpregs;
    if (fpu != nullptr) {
        static_assert(sizeof(*fpu) == sizeof(context.fltSave.bytes), "both are the FXSAVE image");
        std::memcpy(context.fltSave.bytes, fpu, sizeof(context.fltSave.bytes));
        context.mxCsr = fpu->mxcsr;
        context.contextFlags |= kContextFloatingPoint;
    }
}

}  // namespace ExceptionTranslator::minidump
