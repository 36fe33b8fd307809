// Faults on purpose in a child process (crash_fault_child): inside an operation the operation
// returns an error and the process goes on, with a dump in the log directory that lldb reads
// (the fault, its thread and the backtrace from the faulting function); elsewhere (and for a signal
// another process sent) the process ends the way the platform ends a crash. In the host process the
// crash options show the message and restart the host.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "ChildProcess.h"
#include "MemoryRegistry.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "WaitForFile.h"
#include "crash/CrashSettings.h"
#include "directories/ConfigDB.h"
#ifdef _WIN32
#include "Win32RegistryFixture.h"
#else
#include "LldbDump.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr int kAccessViolationEnd = static_cast<int>(0xC0000005);
constexpr char kSuffix[] = ".exe";
constexpr int kExitMinusOne = -1;

// The options in the real registry for as long as it lives. The key and the log directory the
// crashes prune are the machine's: the crash tests, which ctest runs side by side, take turns.
struct HostOptions {
    explicit HostOptions(const TempDirectory&) {
        key.SetValue(u"ShowCrashMessage", kRegDword, {1, 0, 0, 0});
        key.SetValue(u"ShouldRestartMoraHost", kRegDword, {1, 0, 0, 0});
    }
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
    ScopedRegistryKey key{u"Software\\TALPO Mora compact\\Options", RegistryView::Bit64};
};
#else
constexpr int kAccessViolationEnd = 1000 + 11;  // killed by SIGSEGV
constexpr char kSuffix[] = "";
constexpr int kExitMinusOne = 255;

// The options in a registry file the child reads.
struct HostOptions {
    explicit HostOptions(const TempDirectory& dir)
        : file("ZEPH_REGISTRY_FILE",
               dir.Write("options.reg",
                         "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Software\\TALPO Mora compact\\Options]\r\n"
                         "\"ShowCrashMessage\"=dword:00000001\r\n"
                         "\"ShouldRestartMoraHost\"=dword:00000001\r\n")) {}
    ScopedVariable file;
};
#endif

// The dumps in the log directory and when each was written (a dump of the same second as an
// earlier one replaces it).
std::map<fs::path, fs::file_time_type> Dumps() {
    std::map<fs::path, fs::file_time_type> dumps;
    for (const auto& entry : fs::directory_iterator(CDB_GetLogDir(std::string("K7000102"), true))) {
        if (entry.path().filename().string().find("_AppCrashDump_") != std::string::npos) {
            dumps[entry.path()] = entry.last_write_time();
        }
    }
    return dumps;
}

struct FaultCase {
    const char* mode;
    int exit;
    const char* signal;  // the stop reason lldb shows of the dump; null: no dump
    const char* frame;   // the faulting function, in the backtrace lldb shows
};

class FaultProcessTest : public ::testing::TestWithParam<FaultCase> {
  protected:
    // The log directory of this process and of its children, the same for every test: the
    // directory library keeps the first it resolves.
    static void SetUpTestSuite() {
        static TempDirectory state;
        static ScopedVariable stateHome("XDG_STATE_HOME", state.Path().string());
    }

    TempDirectory marks;
    ScopedVariable marksVariable{"ZEPH_CRASH_TEST_DIR", marks.Path().string()};
#ifdef _WIN32
    // The children's dumps go to the user's log directory, which every crash prunes: the crash
    // tests of this machine take turns with it.
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
#endif
};

TEST_P(FaultProcessTest, EndsAsThePlatformEndsACrashUnlessInsideAnOperation) {
    const auto before = Dumps();
    EXPECT_EQ(ChildProcess("crash_fault_child", {GetParam().mode}).Wait(), GetParam().exit);
    if (GetParam().signal == nullptr) {
        return;
    }
    std::vector<fs::path> added;
    for (const auto& [dump, written] : Dumps()) {
        if (!before.contains(dump) || before.at(dump) != written) {
            added.push_back(dump);
        }
    }
    ASSERT_EQ(added.size(), 1u);
    const std::string name = added[0].filename().string();
    EXPECT_TRUE(name.starts_with(std::string("ZEPH.Ext.PcSc__crash_fault_child") + kSuffix + "__V"))
        << name;
    EXPECT_TRUE(name.ends_with(".dmp.txt")) << name;
    EXPECT_GT(fs::file_size(added[0]), 0u);
#ifndef _WIN32
    // The crashing thread stopped by the fault, and the backtrace unwound from the faulting
    // function (which needs the thread's stack and the module list in the dump).
    const auto shown = LldbShowDump(added[0].string());
    if (shown) {
        EXPECT_NE(shown->find(std::string("stop reason = signal ") + GetParam().signal),
                  std::string::npos)
            << *shown;
        const size_t frame = shown->find(GetParam().frame);
        EXPECT_NE(frame, std::string::npos) << *shown;
        EXPECT_NE(shown->find("frame #", frame), std::string::npos) << *shown;  // and its callers
    }
#endif
}

const FaultCase kFaults[] = {
    {"divide", 0, "SIGFPE", "Divide"},
    {"pointer", 0, "SIGSEGV", "CopyReaderName"},
#ifndef _WIN32
    {"foreign-stack", 0, "SIGSEGV", "CopyReaderName"},
    {"sent", kAccessViolationEnd, nullptr, nullptr},
#endif
    {"outside", kAccessViolationEnd, nullptr, nullptr},
    {"other-thread", kAccessViolationEnd, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultProcessTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test) {
                             std::string name = test.param.mode;
                             std::erase(name, '-');
                             return name;
                         });

// A copy of the fault child named morahost shows the crash message first, starts a new instance
// of itself and ends with -1; under another name the same options do nothing.
TEST(FaultRestartTest, FollowsTheOptionsInsideTheHostOnly) {
    for (const bool host : {true, false}) {
        SCOPED_TRACE(host);
        TempDirectory marks;
        const ScopedVariable marksVariable("ZEPH_CRASH_TEST_DIR", marks.Path().string());
        const ScopedVariable logVariable("XDG_STATE_HOME", marks.Path().string());
        const fs::path copy =
            marks.Path() / ((host ? "morahost" : "otherhost") + std::string(kSuffix));
        fs::copy_file(ChildProcess::Beside("crash_fault_child"), copy);
        const HostOptions options(marks);
        EXPECT_EQ(ChildProcess(copy, {"pointer"}).Wait(), host ? kExitMinusOne : 0);
        EXPECT_EQ(fs::exists(marks.Path() / "message"), host);
        EXPECT_EQ(WaitForFile(marks.Path() / "restarted", std::chrono::seconds(host ? 20 : 1)),
                  host);
    }
}

TEST(CrashSettingTest, CountsOnlyALowWordDwordInTheHost) {
#ifdef _WIN32
    constexpr const char* kHost = "C:\\Programme\\MoraHost.EXE";
    constexpr const char* kOtherHost = "C:\\Programme\\MoraHostX.exe";
#else
    constexpr const char* kHost = "/opt/mora/MoraHost";
    constexpr const char* kOtherHost = "/x/morahostx";
#endif
    const RegistryValue kOne{kRegDword, {1, 0, 0, 0}};
    const struct {
        const char* executable;
        RegistryValue restart;
        bool expected;
    } cases[] = {
        {kHost, kOne, true},
        {kHost, RegistryValue{kRegDword, {0, 0, 1, 0}}, false},
        {kHost, {kRegSz, RegistryStringBytes(u"1")}, false},
        {kOtherHost, kOne, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.executable << " type " << c.restart.type);
        MemoryRegistry registry;
        registry.SetValue(u"Software\\TALPO Mora compact\\Options", u"ShouldRestartMoraHost",
                          c.restart);
        registry.SetValue(u"Software\\TALPO Mora compact\\Options", u"ShowCrashMessage", c.restart);
        EXPECT_EQ(ExceptionTranslator::ReadCrashSetting(ExceptionTranslator::kShouldRestartHost,
                                                        c.executable, registry),
                  c.expected);
        EXPECT_EQ(ExceptionTranslator::ReadCrashSetting(ExceptionTranslator::kShowCrashMessage,
                                                        c.executable, registry),
                  c.expected);
    }
}

}  // namespace
