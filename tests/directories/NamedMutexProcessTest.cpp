// The named mutex between processes: trace lines of several writers, a holder that makes the next
// writer time out, an owner that dies holding it; on Windows, the mutex seen from a child process.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "TempDirectory.h"
#include "directories/InternTraceLine.h"
#include "platform/ProcessIds.h"

#ifdef _WIN32
#include "directories/win32/Win32NamedMutex.h"

#include <sddl.h>
#else
#include <sys/mman.h>
#endif

using namespace configdb;

namespace {

constexpr char kChild[] = "directories_mutex_child";
const std::string kStamp = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} \[\d+\] \[\d+\] )";

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Passes the waits on and keeps their results.
class RecordingMutex : public NamedMutex {
  public:
    explicit RecordingMutex(NamedMutex& mutex) : m_mutex(mutex) {}
    int32_t Wait(uint32_t timeoutMs) override {
        return results.emplace_back(m_mutex.Wait(timeoutMs));
    }
    void Release() override { m_mutex.Release(); }
    std::vector<int32_t> results;

  private:
    NamedMutex& m_mutex;
};

// A mutex name of this test and process, and a trace file in a directory of its own. The mutex
// is created before any child starts: on Windows it lives only while a handle is open.
class NamedMutexProcess : public testing::Test {
  protected:
    void SetUp() override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        m_name = std::string("zeph_test_") + test->name() + "_" +
                 std::to_string(zeph::platform::CurrentProcessId());
        uint32_t error = 0;
        m_mutex = CreateNamedMutex(m_name, error);
        ASSERT_NE(m_mutex, nullptr) << error;
    }
    void TearDown() override {
#ifndef _WIN32
        shm_unlink(("/" + m_name).c_str());
#endif
    }

    TempDirectory m_directory;
    const std::string m_file = (m_directory.Path() / "ConfigDB_Intern.log").string();
    std::string m_name;
    std::unique_ptr<NamedMutex> m_mutex;
};

}  // namespace

TEST_F(NamedMutexProcess, LinesOfSeveralProcessesAreWholeAndComplete) {
    constexpr int kProcesses = 4, kLines = 500;
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(std::make_unique<ChildProcess>(
            kChild, std::vector<std::string>{"append", m_name, m_file,
                                             std::string("P").append(std::to_string(p)),
                                             std::to_string(kLines)}));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->Wait(), 0);
    }
    const std::regex pattern(kStamp + R"((P\d) (\d+))");
    std::map<std::string, int> seen;
    for (const std::string& line : ReadLines(m_file)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, pattern)) << line;
        EXPECT_EQ(++seen[match[1].str() + " " + match[2].str()], 1) << line;
    }
    EXPECT_EQ(seen.size(), size_t{kProcesses * kLines});
}

TEST_F(NamedMutexProcess, LineAfterALongHoldCarriesTheTimeoutPrefix) {
    const std::string marker = (m_directory.Path() / "held").string();
    ChildProcess holder(kChild, {"hold", m_name, marker, "2500"});
    for (int i = 0; i < 1000 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string message = "after the hold";
    AppendInternTraceLine(m_mutex.get(), m_file, ComposeInternTraceLine(&message, 14));
    EXPECT_EQ(holder.Wait(), kWaitObject0);
    const std::vector<std::string> lines = ReadLines(m_file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex("-----> _InternTrace: Timeout bei WaitForSingleObject, eigentliche "
                             "Trace-Zeile folgt:" +
                             kStamp + message)))
        << lines[0];
}

TEST_F(NamedMutexProcess, OwnerThatDiedLeavesItAbandonedAndTheLineIsWritten) {
    EXPECT_EQ(ChildProcess(kChild, {"die", m_name}).Wait(), kWaitObject0);
    RecordingMutex recording(*m_mutex);
    const std::string line = ComposeInternTraceLine(nullptr, 0);
    AppendInternTraceLine(&recording, m_file, line);
    AppendInternTraceLine(&recording, m_file, line);
    EXPECT_EQ(recording.results, (std::vector<int32_t>{kWaitAbandoned, kWaitObject0}));
    EXPECT_EQ(ReadLines(m_file), (std::vector<std::string>(2, line.substr(0, line.size() - 1))));
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

#ifdef _WIN32
TEST_F(NamedMutexProcess, AccessListGrantsSystemAndTheWorld) {
    const HANDLE handle = dynamic_cast<Win32NamedMutex&>(*m_mutex).Handle();
    alignas(8) char descriptor[1024];
    DWORD needed = 0;
    ASSERT_TRUE(GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor,
                                        sizeof descriptor, &needed));
    BOOL present = FALSE, defaulted = FALSE;
    ACL* acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) && present);
    std::vector<std::string> granted;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        char* text = nullptr;
        ASSERT_TRUE(GetAce(acl, i, &ace));
        ConvertSidToStringSidA(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, &text);
        granted.emplace_back(text != nullptr ? text : "?");
        LocalFree(text);
    }
    EXPECT_EQ(granted, (std::vector<std::string>{"S-1-5-18", "S-1-1-0"}));
}
#endif
