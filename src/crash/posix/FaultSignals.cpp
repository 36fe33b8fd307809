// The process-wide handler of SIGSEGV, SIGBUS, SIGILL and SIGFPE: it runs on the thread's
// alternate stack, acts on processor faults of marked threads inside an operation and throws the
// fault out of the handler (the module is built with -fnon-call-exceptions, so the unwinder passes
// the faulting instruction), and chains everything else to the previous action.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <exception>
#include <iterator>

#include "crash/CrashProcedure.h"
#include "crash/FaultHandler.h"
#include "crash/StructuredException.h"
#include "crash/posix/FaultWatchdog.h"
#include "crash/posix/LinuxMiniDump.h"
#include "crash/posix/ThreadFaultState.h"
#include "platform/OperationDepth.h"

namespace ExceptionTranslator {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr size_t kFaultSignalCount = std::size(kFaultSignals);

struct sigaction g_previous[kFaultSignalCount];
std::atomic<bool> g_installed{false};

size_t SignalIndex(int signal) {
    size_t index = 0;
    while (index + 1 < kFaultSignalCount && kFaultSignals[index] != signal) {
        ++index;
    }
    return index;
}

void RestoreDefault(int signal) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
}

// The previous action takes the signal: its handler is called; the default action takes over
// for good (a fault repeats when the handler returns, a sent signal is raised again); an ignored
// fault would repeat for ever, so it gets the default action too.
void PassOn(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = g_previous[SignalIndex(signal)];
    const bool fault = info != nullptr && info->si_code > 0;
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_IGN) {
        if (fault) {
            RestoreDefault(signal);
        }
    } else if (previous.sa_handler == SIG_DFL) {
        RestoreDefault(signal);
        if (!fault) {
            raise(signal);
        }
    } else {
        previous.sa_handler(signal);
    }
}

// The crash procedure under the watchdog; the exception is made before the watchdog stands down,
// as making it may allocate.
std::exception_ptr RunProcedure(int signal, siginfo_t* info, void* context) {
    const CrashRecord record{signal, info, static_cast<const ucontext_t*>(context), gettid()};
    ArmFaultWatchdog(signal);
    TranslateSEHExceptionToStdException(static_cast<uint32_t>(signal), &record);
    std::exception_ptr fault =
        std::make_exception_ptr(StructuredException(static_cast<uint32_t>(signal)));
    DisarmFaultWatchdog();
    return fault;
}

void OnFaultSignal(int signal, siginfo_t* info, void* context) {
    ThreadFaultState* state = MarkedThreadState();
    if (state == nullptr || zeph::platform::OperationDepth() == 0 || info == nullptr ||
        info->si_code <= 0) {
        PassOn(signal, info, context);
        return;
    }
    if (state->inProcedure) {
        EndWithFault(state->signal);  // a fault inside the procedure itself
    }
    state->inProcedure = true;
    state->signal = signal;
    std::exception_ptr fault = RunProcedure(signal, info, context);
    state->inProcedure = false;
    // Leaving by an exception skips the kernel's restoring of the signal mask.
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    std::rethrow_exception(fault);
}

// Puts the previous actions back when the module unloads.
struct Uninstaller {
    ~Uninstaller() {
        if (g_installed.load()) {
            for (size_t i = 0; i < kFaultSignalCount; ++i) {
                sigaction(kFaultSignals[i], &g_previous[i], nullptr);
            }
        }
    }
} g_uninstaller;

}  // namespace

void InstallProcessFaultHandler() noexcept {
    static const bool installed = [] {
        ReserveLinuxMiniDumpMemory();
        struct sigaction ours {};
        ours.sa_sigaction = &OnFaultSignal;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        for (size_t i = 0; i < kFaultSignalCount; ++i) {
            sigaction(kFaultSignals[i], &ours, &g_previous[i]);
        }
        g_installed.store(true);
        return true;
    }();
    static_cast<void>(installed);
}

void MarkThreadForFaults() noexcept {
    MarkThreadState();
}

}  // namespace ExceptionTranslator
