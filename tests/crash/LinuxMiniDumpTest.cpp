// Dumps of real faults: a child process faults in a named function, its signal handler writes
// the dump, and the test reads the dump back, then has lldb read it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "FileText.h"
#include "LldbDump.h"
#include "TempDirectory.h"
#include "crash/posix/LinuxMiniDump.h"
#include "crash/posix/MiniDumpFormat.h"

namespace md = ExceptionTranslator::minidump;

// The faulting functions, named in the backtraces the tests expect.
__attribute__((noinline, noclone)) void WriteThroughBadPointer() {
    int* volatile target = reinterpret_cast<int*>(0x10);
    *target = 1;
}

volatile int g_divisor = 0;
volatile int g_quotient = 0;

__attribute__((noinline, noclone, no_sanitize_undefined)) void DivideByZero() {
    g_quotient = 100 / g_divisor;
}

namespace {

const char* g_dumpPath = nullptr;

void WriteDumpAndExit(int signal, siginfo_t* info, void* context) {
    const CrashRecord record{signal, info, static_cast<const ucontext_t*>(context), gettid()};
    _exit(ExceptionTranslator::WriteLinuxMiniDump(g_dumpPath, record) ==
                  ExceptionTranslator::DumpFileOutcome::Written
              ? 0
              : 1);
}

// Forks a child that dumps its fault of `fault` into `path`; returns the child's id once it
// ended with the dump written.
pid_t DumpFaultInChild(void (*fault)(), const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        static char alternateStack[64 * 1024];
        const stack_t stack{alternateStack, 0, sizeof(alternateStack)};
        struct sigaction action {};
        action.sa_sigaction = WriteDumpAndExit;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        g_dumpPath = path.c_str();
        if (!ExceptionTranslator::ReserveLinuxMiniDumpMemory() || sigaltstack(&stack, nullptr) ||
            sigaction(SIGSEGV, &action, nullptr) || sigaction(SIGFPE, &action, nullptr)) {
            _exit(3);
        }
        fault();
        _exit(2);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return child;
}

// The dump's records, bounds-checked.
class DumpReader {
  public:
    explicit DumpReader(std::string bytes) : m_bytes(std::move(bytes)) {}

    template <typename Record>
    Record At(uint64_t rva) const {
        Record record{};
        if (rva + sizeof(Record) <= m_bytes.size()) {
            std::memcpy(&record, m_bytes.data() + rva, sizeof(Record));
        } else {
            ADD_FAILURE() << "record beyond the end of the dump at " << rva;
        }
        return record;
    }

    // The stream of that type, or an empty location.
    md::LocationDescriptor Stream(uint32_t type) const {
        const auto header = At<md::Header>(0);
        for (uint32_t i = 0; i < header.numberOfStreams; ++i) {
            const auto entry =
                At<md::Directory>(header.streamDirectoryRva + i * sizeof(md::Directory));
            if (entry.streamType == type) {
                return entry.location;
            }
        }
        return {};
    }

  private:
    std::string m_bytes;
};

struct FaultCase {
    const char* name;
    void (*fault)();
    const char* function;
    int signal;
    const char* signalName;
};

using LinuxMiniDumpTest = ::testing::TestWithParam<FaultCase>;

const FaultCase kFaults[] = {
    {"BadPointer", WriteThroughBadPointer, "WriteThroughBadPointer", SIGSEGV, "SIGSEGV"},
    {"DivisionByZero", DivideByZero, "DivideByZero", SIGFPE, "SIGFPE"},
};

INSTANTIATE_TEST_SUITE_P(Faults, LinuxMiniDumpTest, ::testing::ValuesIn(kFaults),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// The dump names the fault, its thread and the executable, and lldb shows them with the backtrace
// from the faulting function (which needs the thread's stack in the dump).
TEST_P(LinuxMiniDumpTest, DumpShowsTheFaultItsThreadAndTheExecutable) {
    const TempDirectory directory;
    const std::string path = (directory.Path() / "fault.dmp").string();
    const pid_t child = DumpFaultInChild(GetParam().fault, path);
    const DumpReader dump(ReadFileText(path));
    const auto header = dump.At<md::Header>(0);
    ASSERT_EQ(header.signature, md::kSignature);
    EXPECT_EQ(header.version & 0xFFFF, md::kVersion);

    const auto exception = dump.At<md::ExceptionStream>(dump.Stream(md::kExceptionStream).rva);
    EXPECT_EQ(exception.threadId, static_cast<uint32_t>(child));
    EXPECT_EQ(exception.exceptionRecord.exceptionCode, static_cast<uint32_t>(GetParam().signal));
    const auto context = dump.At<md::ContextAmd64>(exception.threadContext.rva);
    const auto faultAddress = reinterpret_cast<uint64_t>(GetParam().fault);
    EXPECT_GE(context.rip, faultAddress);
    EXPECT_LT(context.rip, faultAddress + 1024);  // in the function, sanitizer code and all
    if (GetParam().signal == SIGSEGV) {
        EXPECT_EQ(exception.exceptionRecord.exceptionAddress, 0x10u);
    }

    // The module of the faulting function, with its build id (20 bytes from the linker) in the
    // record lldb matches files by.
    const auto modules = dump.Stream(md::kModuleListStream);
    uint32_t buildIdRecords = 0;
    for (uint32_t i = 0; i < dump.At<uint32_t>(modules.rva); ++i) {
        const auto module = dump.At<md::Module>(modules.rva + 4 + i * sizeof(md::Module));
        if (faultAddress - module.baseOfImage < module.sizeOfImage &&
            module.cvRecord.dataSize == 4u + 20u &&
            dump.At<uint32_t>(module.cvRecord.rva) == 0x4270454cu) {
            ++buildIdRecords;
        }
    }
    EXPECT_EQ(buildIdRecords, 1u);

    const auto output =
        LldbShowDump(path, std::filesystem::read_symlink("/proc/self/exe").string());
    if (!output) {
        return;  // lldb-14 is not installed
    }
    EXPECT_NE(output->find("tid = " + std::to_string(child) + ","), std::string::npos) << *output;
    EXPECT_NE(output->find(std::string("stop reason = signal ") + GetParam().signalName),
              std::string::npos)
        << *output;
    const size_t frame0 = output->find("frame #0: ");
    ASSERT_NE(frame0, std::string::npos) << *output;
    EXPECT_NE(output->substr(frame0, output->find('\n', frame0) - frame0).find(GetParam().function),
              std::string::npos)
        << *output;
    EXPECT_NE(output->find("frame #1: "), std::string::npos) << *output;  // unwound from there
}

}  // namespace
