// Faults on purpose in a child process (crash_fault_child): inside an operation the operation
// returns an error and the process goes on, with a dump in the log directory; elsewhere the
// process ends the way the platform ends a crash; inside the host the options restart it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "directories/ConfigDB.h"

#include "FaultChildRun.h"
#ifdef _WIN32
#include "Win32RegistryFixture.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* kSuffix = ".exe";
#else
constexpr const char* kSuffix = "";
#endif

const char* Child() {
    return ZEPH_TEST_FAULT_CHILD;
}

// The dumps in the log directory written since `since` (a dump of the same second as an earlier
// one replaces it).
std::vector<fs::path> DumpsSince(fs::file_time_type since) {
    std::vector<fs::path> dumps;
    for (const auto& entry : fs::directory_iterator(CDB_GetLogDir(std::string("K7000102"), true))) {
        const std::string name = entry.path().filename().string();
        if (name.find("_AppCrashDump_") != std::string::npos && entry.last_write_time() >= since) {
            dumps.push_back(entry.path());
        }
    }
    return dumps;
}

class FaultProcessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static TempDirectory state;
#ifndef _WIN32
        SetChildVariable("XDG_STATE_HOME", state.Path().string());
#endif
    }
    void SetUp() override {
        SetChildVariable("ZEPH_CRASH_TEST_DIR", marks.Path().string());
    }

    TempDirectory marks;
#ifdef _WIN32
    // The children's dumps go to the user's log directory, which every crash prunes: the crash
    // tests of this machine take turns with it.
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
#endif
};

struct InsideCase {
    const char* mode;
    friend void PrintTo(const InsideCase& c, std::ostream* out) { *out << c.mode; }
};

class FaultInsideOperation : public FaultProcessTest,
                             public ::testing::WithParamInterface<InsideCase> {};

TEST_P(FaultInsideOperation, ReturnsAnErrorAndLeavesADump) {
    const fs::file_time_type started =
        fs::file_time_type::clock::now() - std::chrono::milliseconds(100);
    EXPECT_EQ(RunFaultChild(Child(), GetParam().mode), 0);
    const std::vector<fs::path> added = DumpsSince(started);
    ASSERT_EQ(added.size(), 1u);
    const std::string name = added[0].filename().string();
    EXPECT_TRUE(name.starts_with(std::string("ZEPH.Ext.PcSc__crash_fault_child") + kSuffix + "__V"))
        << name;
    EXPECT_TRUE(name.ends_with(".dmp.txt")) << name;
    EXPECT_GT(fs::file_size(added[0]), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultInsideOperation,
                         ::testing::Values(InsideCase{"divide"}, InsideCase{"pointer"}));

TEST_F(FaultProcessTest, FaultOutsideAnOperationEndsTheProcess) {
    EXPECT_EQ(RunFaultChild(Child(), "outside"), kAccessViolationEnd);
}

TEST_F(FaultProcessTest, FaultOnAThreadThatNeverEnteredEndsTheProcess) {
    EXPECT_EQ(RunFaultChild(Child(), "other-thread"), kAccessViolationEnd);
}

#ifndef _WIN32
// The dump opens in a debugger nobody here wrote: it shows the crashing thread, the fault and the
// module's frame.
TEST_F(FaultProcessTest, DumpShowsTheFaultToADebugger) {
    if (std::system("command -v lldb-14 >/dev/null") != 0) {
        GTEST_SKIP() << "lldb-14 is not installed";
    }
    const fs::file_time_type started = fs::file_time_type::clock::now();
    ASSERT_EQ(RunFaultChild(Child(), "pointer"), 0);
    const std::vector<fs::path> added = DumpsSince(started);
    ASSERT_EQ(added.size(), 1u);
    const std::string command =
        "lldb-14 --batch -c '" + added[0].string() + "' -o 'thread list' -o bt </dev/null 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            output.append(chunk, n);
        }
        pclose(pipe);
    }
    EXPECT_NE(output.find("SIGSEGV"), std::string::npos) << output;
    EXPECT_NE(output.find("CopyReaderName"), std::string::npos) << output;
}
#endif

}  // namespace
