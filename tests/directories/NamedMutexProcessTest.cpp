// The named mutex between processes: trace lines of several writers, a holder that makes the next
// writer time out, an owner that dies holding it; on Windows, the mutex seen from a child process.
// And what the trace line's append writes for each answer of the mutex.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "ChildProcess.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "WaitForFile.h"
#include "directories/InternTraceLine.h"
#include "platform/ProcessIds.h"

#ifdef _WIN32
#include "directories/win32/Win32NamedMutex.h"
#else
#include <sys/mman.h>
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
