// The process the fault tests start: it creates an extension object over the simulator, faults on
// purpose and checks what it can see from inside; the test checks the exit, the dump and the
// restart from outside.
//
//   crash_fault_child divide|pointer|outside|other_thread|foreign_stack|sent|measure
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
#include <signal.h>
#include <unistd.h>
#endif

#include "ExtensionHarness.h"
#include "crash/CrashComponent.h"
#include "crash/CrashMessage.h"

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

// The module writes its own attribute through a pointer the host got wrong.
int BadPointerInsideOperation() {
    ExtensionHarness h;
    const bool faulted =
        Expect(ReadActualReaderInto(h, g_badPointer) != ZEPH_STATUS_SUCCESS, "no error") &&
        TracedFault(h, "GetAttribute", kAccessCode);
    uint8_t name[256] = {};
    return faulted && Expect(ReadActualReaderInto(h, name) == ZEPH_STATUS_SUCCESS, "no recovery")
               ? kChecked
               : kMismatch;
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
        {"pointer", BadPointerInsideOperation},
#ifndef _WIN32
        {"foreign_stack", FaultOnForeignAlternateStack},
        {"sent", SentSignalInsideOperation},
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
