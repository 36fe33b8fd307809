// The library's locks: Init's run in a fresh process whose first call is a query; the named mutex
// between processes (trace lines of several writers, a holder that makes the next writer time out,
// an owner that dies holding it; on Windows, the mutex seen from a child process; on Linux, the
// shared-memory object behind it); what the trace line's append writes for each answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <regex>
#include <set>

#include "ChildProcess.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "directories/InternTraceLine.h"
#include "platform/ProcessIds.h"

#ifdef _WIN32
#include "directories/win32/Win32NamedMutex.h"
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "directories/posix/SharedMutexBlock.h"
#endif

using namespace configdb;

namespace {

constexpr char kChild[] = "directories_mutex_child";
const std::string kFailure = " bei WaitForSingleObject, eigentliche Trace-Zeile folgt:";
const std::string kStamp = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} \[\d+\] \[\d+\] )";

// A mutex of this test and process, created before any child starts (on Windows it lives only
// while a handle is open), and a trace file in a directory of its own.
class NamedMutexProcess : public testing::Test {
  protected:
    void SetUp() override {
        m_name = std::string("zeph_test_") +
                 testing::UnitTest::GetInstance()->current_test_info()->name();
        m_name.append("_").append(std::to_string(zeph::platform::CurrentProcessId()));
        uint32_t error = 0;
        m_mutex = CreateNamedMutex(m_name, error);
        ASSERT_NE(m_mutex, nullptr) << error;
    }
#ifndef _WIN32
    void TearDown() override {
        shm_unlink(("/" + m_name).c_str());
    }
#endif

    TempDirectory m_directory;
    const std::string m_file = (m_directory.Path() / "ConfigDB_Intern.log").string();
    std::string m_name;
    std::unique_ptr<NamedMutex> m_mutex;
};

// Answers a wait of the trace's length with one result; counts the releases.
struct ScriptedMutex : NamedMutex {
    explicit ScriptedMutex(int32_t answer) : result(answer) {}
    int32_t Wait(uint32_t timeoutMs) override {
        return timeoutMs == kInternTraceWaitMs ? result : 7;
    }
    void Release() override { ++releases; }
    int32_t result;
    int releases = 0;
};

}  // namespace

TEST(InternTraceLine, AppendWritesAndReleasesOnlyWhenTheWaitSucceeded) {
    const struct {
        int32_t result;  // of the wait; 1 stands for a null mutex
        std::string prefix;
    } cases[] = {{kWaitObject0, ""},
                 {kWaitAbandoned, ""},
                 {INT32_MIN, "------> _InternTrace: Fehler <-2147483648>" + kFailure},
                 {1, "------> _InternTrace: Fehler <-1>" + kFailure}};
    for (const auto& c : cases) {
        const TempDirectory directory;
        const std::string file = (directory.Path() / "ConfigDB_Intern.log").string();
        ScriptedMutex mutex(c.result);
        AppendInternTraceLine(c.result == 1 ? nullptr : &mutex, file, "one\n");
        AppendInternTraceLine(c.result == 1 ? nullptr : &mutex, file, "two\n");
        EXPECT_EQ(ReadFileText(file), c.prefix + "one\n" + c.prefix + "two\n") << c.result;
        EXPECT_EQ(mutex.releases, c.prefix.empty() ? 2 : 0) << c.result;
    }
}

TEST_F(NamedMutexProcess, LinesOfSeveralProcessesAreWholeAndComplete) {
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (const char* tag : {"P0", "P1", "P2", "P3"}) {
        children.push_back(std::make_unique<ChildProcess>(
            kChild, std::vector<std::string>{"append", m_name, m_file, tag, "500"}));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->Wait(), 0);
    }
    std::set<std::string> seen;
    for (const std::string& line : ReadFileLines(m_file)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, std::regex(kStamp + "(P. \\d+)"))) << line;
        EXPECT_TRUE(seen.insert(match[1]).second) << line;
    }
    EXPECT_EQ(seen.size(), 2000u);
}

TEST_F(NamedMutexProcess, LineAfterALongHoldCarriesTheTimeoutPrefix) {
    const std::string marker = (m_directory.Path() / "held").string();
    ChildProcess holder(kChild, {"hold", m_name, marker, "2500"});
    WaitForFile(marker, std::chrono::seconds(10));
    const std::string message = "after the hold";
    AppendInternTraceLine(m_mutex.get(), m_file, ComposeInternTraceLine(&message, 14));
    EXPECT_EQ(holder.Wait(), kWaitObject0);
    const std::regex expected("-----> _InternTrace: Timeout" + kFailure + kStamp + message);
    const std::vector<std::string> lines = ReadFileLines(m_file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], expected)) << lines[0];
}

// Taken as abandoned once, then normally again.
TEST_F(NamedMutexProcess, OwnerThatDiedLeavesItAbandoned) {
    EXPECT_EQ(ChildProcess(kChild, {"die", m_name}).Wait(), kWaitObject0);
    EXPECT_EQ(m_mutex->Wait(1000), kWaitAbandoned);
    m_mutex->Release();
    EXPECT_EQ(m_mutex->Wait(0), kWaitObject0);
    m_mutex->Release();
}

#ifdef _WIN32
TEST_F(NamedMutexProcess, ChildOpensItForSynchronizeAndWaitsOnAnInheritedHandle) {
    ASSERT_EQ(m_mutex->Wait(0), kWaitObject0);
    const HANDLE handle = dynamic_cast<Win32NamedMutex&>(*m_mutex).Handle();
    const std::string number = std::to_string(reinterpret_cast<uintptr_t>(handle));
    // Held here, so a child that reaches the same mutex times out.
    EXPECT_EQ(ChildProcess(kChild, {"open", m_name, "0"}).Wait(), kWaitTimeout);
    EXPECT_EQ(ChildProcess(kChild, {"wait", number, "0"}).Wait(), kWaitTimeout);
    m_mutex->Release();
    EXPECT_EQ(ChildProcess(kChild, {"wait", number, "5000"}).Wait(), kWaitObject0);
}
#endif

// A fresh process with the module's trace registered whose first call is a directory query: the
// query returns, although Init's lines load the trace system, which asks this library again.
TEST(InitOnce, ADirectoryQueryAsAFreshProcessFirstCallReturns) {
    EXPECT_EQ(ChildProcess(kChild, {"directories-first"}).Wait(), 0);
}

#ifndef _WIN32
TEST(SharedMutexObject, OpensFromAProcessOfAnotherUserWhateverTheUmask) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to start a process of another user (nobody)";
    }
    const std::string name = "zeph_test_other_user_" + std::to_string(getpid());
    const mode_t oldMask = umask(077);
    uint32_t error = 0;
    const auto mutex = CreateNamedMutex(name, error);
    umask(oldMask);
    ASSERT_NE(mutex, nullptr) << error;
    const pid_t child = fork();
    if (child == 0) {
        const bool nobody = setgid(65534) == 0 && setuid(65534) == 0;
        const auto opened = nobody ? CreateNamedMutex(name, error) : nullptr;
        _exit(opened == nullptr ? 10 : opened->Wait(1000));
    }
    int status = -1;
    waitpid(child, &status, 0);
    shm_unlink(("/" + name).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kWaitObject0) << status;
}

// Filled with a pattern that no mutex and no header has; the bytes must stay untouched.
TEST(SharedMutexObject, ForeignObjectOfTheSameNameIsNeverLocked) {
    const std::string name = "/zeph_test_foreign_" + std::to_string(getpid());
    for (const size_t size : {size_t{64}, sizeof(SharedMutexBlock)}) {
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        auto* bytes = static_cast<unsigned char*>(
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        std::memset(bytes, 0xA5, size);
        uint32_t error = 0;
        EXPECT_EQ(CreateNamedMutex(name.substr(1), error), nullptr) << size;
        EXPECT_EQ(error, uint32_t{EPROTO}) << size;
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0xA5; }));
        munmap(bytes, size);
        close(fd);
        shm_unlink(name.c_str());
    }
}
#endif
