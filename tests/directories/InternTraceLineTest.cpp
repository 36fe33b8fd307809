// The trace line's text, and what the append writes for each answer of the mutex.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "TempDirectory.h"
#include "directories/InternTraceLine.h"
#include "platform/ProcessIds.h"

using namespace configdb;

namespace {

#ifdef _WIN32
constexpr char kNarrowUe[] = "\xFC";  // code page 1252
#else
constexpr char kNarrowUe[] = "\xC3\xBC";
#endif

const std::string kStamp = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} )";

std::string Ids() {
    std::string ids("[");
    ids.append(std::to_string(zeph::platform::CurrentProcessId())).append("] [");
    return ids.append(std::to_string(zeph::platform::CurrentThreadId())).append("] ");
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Answers every wait with one result; counts the releases.
class ScriptedMutex : public NamedMutex {
  public:
    explicit ScriptedMutex(int32_t result) : m_result(result) {}
    int32_t Wait(uint32_t timeoutMs) override {
        timeout = timeoutMs;
        return m_result;
    }
    void Release() override { ++releases; }
    uint32_t timeout = 0;
    int releases = 0;

  private:
    int32_t m_result;
};

}  // namespace

TEST(InternTraceLine, LineCarriesTimeStampIdsAndMessage) {
    const std::string message = "INFO - Init: Der Mutex <X> konnte erfolgreich erzeugt werden";
    const std::string line = ComposeInternTraceLine(&message, 61);
    EXPECT_TRUE(std::regex_match(line, std::regex(kStamp + R"(\[\d+\] \[\d+\] .*\n)"))) << line;
    EXPECT_EQ(line.substr(24), Ids() + message + "\n");
}

TEST(InternTraceLine, LineWithoutMessageShowsTheFormatLength) {
    for (const int length : {0, -1, 12345}) {
        const std::string line = ComposeInternTraceLine(nullptr, length);
        const std::string tail = Ids() + "---------- (Keine Info zum Ausgeben verf" + kNarrowUe +
                                 "gbar, iFormatLen <" + std::to_string(length) + ">)\n";
        EXPECT_EQ(line.size(), 24 + tail.size());
        EXPECT_EQ(line.substr(24), tail);
    }
}

TEST(InternTraceLine, AppendWritesAndReleasesOnlyWhenTheWaitSucceeded) {
    const std::string kTimeout =
        "-----> _InternTrace: Timeout bei WaitForSingleObject, eigentliche Trace-Zeile folgt:";
    const std::string kFailed =
        "------> _InternTrace: Fehler <-1> bei WaitForSingleObject, eigentliche Trace-Zeile folgt:";
    const std::string kOther =
        "------> _InternTrace: Fehler <5> bei WaitForSingleObject, eigentliche Trace-Zeile folgt:";
    const struct {
        int32_t result;
        std::string prefix;
        int releases;
    } cases[] = {{kWaitObject0, "", 1},
                 {kWaitAbandoned, "", 1},
                 {kWaitTimeout, kTimeout, 0},
                 {kWaitFailed, kFailed, 0},
                 {5, kOther, 0}};
    for (const auto& c : cases) {
        const TempDirectory directory;
        const std::string file = (directory.Path() / "ConfigDB_Intern.log").string();
        ScriptedMutex mutex(c.result);
        AppendInternTraceLine(&mutex, file, "line one\n");
        AppendInternTraceLine(&mutex, file, "line two\n");
        EXPECT_EQ(ReadFile(file), c.prefix + "line one\n" + c.prefix + "line two\n") << c.result;
        EXPECT_EQ(mutex.releases, 2 * c.releases) << c.result;
        EXPECT_EQ(mutex.timeout, kInternTraceWaitMs);
    }
}

TEST(InternTraceLine, NullMutexWritesTheFailedWaitPrefix) {
    const TempDirectory directory;
    const std::string file = (directory.Path() / "ConfigDB_Intern.log").string();
    AppendInternTraceLine(nullptr, file, "x\n");
    EXPECT_EQ(ReadFile(file),
              "------> _InternTrace: Fehler <-1> bei WaitForSingleObject, eigentliche "
              "Trace-Zeile folgt:x\n");
}
