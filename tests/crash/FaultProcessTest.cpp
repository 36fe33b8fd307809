// Faults on purpose in a child process (crash_fault_child): inside an operation the operation
// returns an error and the process goes on, with a dump in the log directory that a debugger
// reads; elsewhere the process ends the way the platform ends a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "ChildProcess.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
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
#else
constexpr int kAccessViolationEnd = 1000 + 11;  // killed by SIGSEGV
constexpr char kSuffix[] = "";
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
    bool dump;
    const char* frame;  // of the module, in the backtrace a debugger shows of the dump
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
    if (!GetParam().dump) {
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
    // The crashing thread, the fault and the module's frame, as the module's handler saw them.
    const auto shown = GetParam().frame ? LldbShowDump(added[0].string()) : std::nullopt;
    if (shown) {
        EXPECT_NE(shown->find("SIGSEGV"), std::string::npos) << *shown;
        EXPECT_NE(shown->find(GetParam().frame), std::string::npos) << *shown;
    }
#endif
}

const FaultCase kFaults[] = {
    {"divide", 0, true, nullptr},
    {"pointer", 0, true, "CopyReaderName"},
#ifndef _WIN32
    {"foreign-stack", 0, true, "CopyReaderName"},
#endif
    {"outside", kAccessViolationEnd, false, nullptr},
    {"other-thread", kAccessViolationEnd, false, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultProcessTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test) {
                             std::string name = test.param.mode;
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
