// The process the fault tests start: it creates an extension object over the simulator, faults on
// purpose and checks what it can see from inside; the test checks the exit, the dump and the
// restart from outside.
//
//   crash_fault_child divide|pointer|atr_table|outside|other_thread|foreign_stack|sent|threads|
//                     untraceable|measure
//   (no argument: a restarted instance; it leaves "restarted" in $ZEPH_CRASH_TEST_DIR)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#endif

#include "ExtensionHarness.h"
#include "crash/CrashComponent.h"
#include "crash/CrashMessage.h"
#include "identification/AtrTable.h"

namespace {

constexpr int kChecked = 0;
constexpr int kMismatch = 3;

void Leave(const char* name) {
    const char* dir = std::getenv("ZEPH_CRASH_TEST_DIR");
    std::ofstream(std::string(dir != nullptr ? dir : ".") + "/" + name) << "1\n";
}

// Through a variable the compiler cannot see through, so the fault stays in the program.
volatile uint32_t g_zero = 0;
uint8_t* volatile g_badPointer = reinterpret_cast<uint8_t*>(0x10);

// The error code the trace line of a fault names: the exception's, or the signal's number.
#ifdef _WIN32
constexpr const char *kDivideCode = "c0000094", *kAccessCode = "c0000005";
#else
constexpr const char *kDivideCode = "8", *kAccessCode = "b";  // SIGFPE, SIGSEGV
#endif

bool Expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "crash_fault_child: %s\n", what);
    }
    return condition;
}

bool TracedFault(const ExtensionHarness& h, const std::string& method, const char* code) {
    const std::string crash = "TranslateSEHExceptionToStdException -> Exception aufgetreten! ";
    const std::string caught = "Std::Exception gefangen! <SEH-Exception aufgetreten: ErrorCode = ";
    return Expect(std::ranges::any_of(
                      h.traces.TextsAt(TRACE_EXCEPTION),
                      [&](const auto& line) { return line.starts_with(crash + "Thread-ID <"); }),
                  "no crash line") &&
           Expect(h.Traced(TRACE_EXCEPTION, method, caught + code + ">"), "no caught line");
}

// The reader-name attribute, which the module writes into the host's buffer.
uint32_t ReadActualReaderInto(ExtensionHarness& h, uint8_t* buffer) {
    uint64_t length = 256;
    return h.extension->GetAttribute(0x0007AA01, buffer, &length);
}

// The processor's division, not the sanitizer's check of it: the fault is what is tested.
__attribute__((noinline, no_sanitize("undefined"))) uint32_t Divide(uint32_t dividend) {
    return dividend / g_zero;
}

// A division by zero inside Transmit, then a Transmit that works.
int DivideInsideOperation() {
    ExtensionHarness h;
    h.ConnectCard();
    h.pcsc.onTransmit = [](uint32_t result, uint32_t, uint32_t*) { return Divide(result); };
    const bool faulted = Expect(h.TransmitSelect().first != ZEPH_STATUS_SUCCESS, "no error") &&
                         TracedFault(h, "Transmit", kDivideCode);
    h.pcsc.onTransmit = nullptr;
    return faulted && Expect(h.TransmitSelect().first == ZEPH_STATUS_SUCCESS, "no recovery")
               ? kChecked
               : kMismatch;
}

// The module writes its own attribute through a pointer the host got wrong; `alsoTraced`, when
// given, is part of another line the fault must trace.
int BadPointerInsideOperation(const char* alsoTraced = nullptr) {
    ExtensionHarness h;
    const auto traced = [&h](const char* part) {
        return Expect(std::ranges::any_of(h.traces.TextsAt(TRACE_EXCEPTION),
                                          [part](const auto& line) {
                                              return line.find(part) != std::string::npos;
                                          }),
                      part);
    };
    const bool faulted =
        Expect(ReadActualReaderInto(h, g_badPointer) != ZEPH_STATUS_SUCCESS, "no error") &&
        TracedFault(h, "GetAttribute", kAccessCode) &&
        (alsoTraced == nullptr || traced(alsoTraced));
    uint8_t name[256] = {};
    return faulted && Expect(ReadActualReaderInto(h, name) == ZEPH_STATUS_SUCCESS, "no recovery")
               ? kChecked
               : kMismatch;
}

// The ATR table into records the host got wrong, called first on a thread of the host's: the
// fault ends in the function's barrier as false.
int BadTableOnNewThread() {
    bool filled = true;
    std::thread([&filled] {
        filled = ZEPH_Helper::VH_GetAllTalpoAtr(
            reinterpret_cast<ZEPH_Helper::MoraAtrMask*>(g_badPointer), 1);
    }).join();
    return Expect(!filled, "no error") ? kChecked : kMismatch;
}

#ifndef _WIN32
// The bad pointer on a thread that has a small alternate signal stack of its own, as language
// runtimes give their threads (here the least the system allows, which holds a signal frame and
// little more): the fault is still carried out of the operation, and the thread has its own stack
// back afterwards.
int FaultOnForeignAlternateStack() {
    int result = kMismatch;
    std::thread([&result] {
        std::vector<char> own(static_cast<size_t>(sysconf(_SC_MINSIGSTKSZ)));
        stack_t installed{};
        installed.ss_sp = own.data();
        installed.ss_size = own.size();
        sigaltstack(&installed, nullptr);
        result = BadPointerInsideOperation();
        stack_t after{};
        sigaltstack(nullptr, &after);
        if (!Expect(after.ss_sp == own.data() && after.ss_size == own.size(), "stack not back")) {
            result = kMismatch;
        }
        installed.ss_flags = SS_DISABLE;
        sigaltstack(&installed, nullptr);
    }).join();
    return result;
}

// A SIGSEGV sent by kill inside Transmit is no fault of the operation: it ends the process.
int SentSignalInsideOperation() {
    ExtensionHarness h;
    h.ConnectCard();
    h.pcsc.onTransmit = [](uint32_t result, uint32_t, uint32_t*) {
        kill(getpid(), SIGSEGV);
        return result;
    };
    h.TransmitSelect();
    return kMismatch;
}
#endif

#ifndef _WIN32
std::atomic<bool> g_released{false};

__attribute__((noinline)) void BlockOnPipe(int end) {
    char byte = 0;
    static_cast<void>(read(end, &byte, 1));
}

__attribute__((noinline)) void SleepUntilReleased() {
    while (!g_released.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

__attribute__((noinline)) void SpinUntilReleased() {
    while (!g_released.load()) {
    }
}

// The system refuses ptrace to this process from here on, as a container's policy may.
bool RefuseTracing() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_ptrace, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The bad pointer while three more threads run: blocked in a read, sleeping, spinning.
int FaultBesideThreeThreads(bool untraceable) {
    int ends[2] = {};
    if ((untraceable && !RefuseTracing()) || pipe(ends) != 0) {
        return kMismatch;
    }
    std::thread threads[] = {std::thread(BlockOnPipe, ends[0]), std::thread(SleepUntilReleased),
                             std::thread(SpinUntilReleased)};
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // each in its function
    const int result = BadPointerInsideOperation(
        untraceable ? "nur den Thread der Exception - die anderen Threads d\xfcrfen nicht verfolgt "
                      "werden (Fehler <1>)!"
                    : nullptr);
    g_released = true;
    static_cast<void>(write(ends[1], "x", 1));
    for (std::thread& thread : threads) {
        thread.join();
    }
    // Without ptrace the leak check at exit, which stops the threads with it, cannot run.
    std::fflush(nullptr);
    _exit(result);
}
#endif

int FaultOutsideOperation() {
    ExtensionHarness h;
    *g_badPointer = 1;
    return kMismatch;
}

int FaultOnForeignThread() {
    ExtensionHarness h;
    std::thread([] { *g_badPointer = 1; }).join();
    return kMismatch;
}

// Prints the mean time from the fault to the operation's return, the dump written on the way.
int MeasureFaults() {
    ExtensionHarness h;
    constexpr int kRounds = 10;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        ReadActualReaderInto(h, g_badPointer);
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    std::printf("fault to return with dump: %.2f ms\n", elapsed.count() / kRounds);
    return kChecked;
}

void LeaveMessageMark(const char16_t*, const char16_t*) {
    Leave("message");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Leave("restarted");
        return kChecked;
    }
    ExceptionTranslator::SetCrashComponent(u"ZEPH.Ext.PcSc");
    ExceptionTranslator::SetCrashMessageShower(&LeaveMessageMark);
    const std::pair<std::string_view, int (*)()> modes[] = {
        {"divide", DivideInsideOperation},
        {"pointer", [] { return BadPointerInsideOperation(); }},
        {"atr_table", BadTableOnNewThread},
#ifndef _WIN32
        {"foreign_stack", FaultOnForeignAlternateStack},
        {"sent", SentSignalInsideOperation},
        {"threads", [] { return FaultBesideThreeThreads(false); }},
        {"untraceable", [] { return FaultBesideThreeThreads(true); }},
#endif
        {"outside", FaultOutsideOperation},
        {"other_thread", FaultOnForeignThread},
        {"measure", MeasureFaults},
    };
    for (const auto& [mode, run] : modes) {
        if (mode == argv[1]) {
            return run();
        }
    }
    return kMismatch;
}
