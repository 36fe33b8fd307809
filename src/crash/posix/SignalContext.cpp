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

void FillContext(const user_regs_struct& registers, const user_fpregs_struct& fpu,
                 ContextAmd64& context) noexcept {
    context = ContextAmd64{};
    context.contextFlags =
        kContextControl | kContextInteger | kContextSegments | kContextFloatingPoint;
    const user_regs_struct& r = registers;
    context.rax = r.rax;
    context.rcx = r.rcx;
    context.rdx = r.rdx;
    context.rbx = r.rbx;
    context.rsp = r.rsp;
    context.rbp = r.rbp;
    context.rsi = r.rsi;
    context.rdi = r.rdi;
    context.r8 = r.r8;
    context.r9 = r.r9;
    context.r10 = r.r10;
    context.r11 = r.r11;
    context.r12 = r.r12;
    context.r13 = r.r13;
    context.r14 = r.r14;
    context.r15 = r.r15;
    context.rip = r.rip;
    context.eFlags = static_cast<uint32_t>(r.eflags);
    context.segCs = static_cast<uint16_t>(r.cs);
    context.segDs = static_cast<uint16_t>(r.ds);
    context.segEs = static_cast<uint16_t>(r.es);
    context.segFs = static_cast<uint16_t>(r.fs);
    context.segGs = static_cast<uint16_t>(r.gs);
    context.segSs = static_cast<uint16_t>(r.ss);
    static_assert(sizeof(fpu) == sizeof(context.fltSave.bytes), "both are the FXSAVE image");
    std::memcpy(context.fltSave.bytes, &fpu, sizeof(context.fltSave.bytes));
    context.mxCsr = fpu.mxcsr;
}

}  // namespace ExceptionTranslator::minidump
