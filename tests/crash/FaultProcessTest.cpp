// Faults on purpose in a child process (crash_fault_child): inside an operation the operation
// returns an error and the process goes on, with a dump in the log directory; elsewhere the
// process ends the way the platform ends a crash; inside the host the options restart it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TempDirectory.h"
#include "directories/ConfigDB.h"

#ifdef _WIN32
#include <windows.h>

#include "Win32RegistryFixture.h"
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* kSuffix = ".exe";
constexpr int kAccessViolationEnd = static_cast<int>(0xC0000005);
constexpr int kExitMinusOne = -1;

void SetVariable(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.c_str());
}

// The exit code.
int Run(const fs::path& program, const std::string& argument) {
    std::string commandLine = "\"" + program.string() + "\" " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
#else
constexpr const char* kSuffix = "";
constexpr int kAccessViolationEnd = 1000 + SIGSEGV;  // killed by the signal
constexpr int kExitMinusOne = 255;

void SetVariable(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}

// The exit status, or 1000 + the signal that killed it.
int Run(const fs::path& program, const std::string& argument) {
    const std::string path = program.string();
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return -2;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : WEXITSTATUS(status);
}
#endif

fs::path Child() {
    return fs::path(ZEPH_TEST_FAULT_CHILD);
}

std::set<fs::path> Dumps() {
    std::set<fs::path> dumps;
    for (const auto& entry : fs::directory_iterator(CDB_GetLogDir(std::string("K7000102"), true))) {
        const std::string name = entry.path().filename().string();
        if (name.find("_AppCrashDump_") != std::string::npos) {
            dumps.insert(entry.path());
        }
    }
    return dumps;
}

bool AppearsWithin(const fs::path& file, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(file) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(file);
}

class FaultProcessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static TempDirectory state;
#ifndef _WIN32
        SetVariable("XDG_STATE_HOME", state.Path().string());
#endif
    }
    void SetUp() override {
        SetVariable("ZEPH_CRASH_TEST_DIR", marks.Path().string());
    }

    TempDirectory marks;
};

struct InsideCase {
    const char* mode;
};

class FaultInsideOperation : public FaultProcessTest,
                             public ::testing::WithParamInterface<InsideCase> {};

TEST_P(FaultInsideOperation, ReturnsAnErrorAndLeavesADump) {
    const std::set<fs::path> before = Dumps();
    EXPECT_EQ(Run(Child(), GetParam().mode), 0);
    std::vector<fs::path> added;
    for (const fs::path& dump : Dumps()) {
        if (before.count(dump) == 0) {
            added.push_back(dump);
        }
    }
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
    EXPECT_EQ(Run(Child(), "outside"), kAccessViolationEnd);
}

TEST_F(FaultProcessTest, FaultOnAThreadThatNeverEnteredEndsTheProcess) {
    EXPECT_EQ(Run(Child(), "other-thread"), kAccessViolationEnd);
}

}  // namespace
