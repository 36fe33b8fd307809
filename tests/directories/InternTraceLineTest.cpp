// The trace line's text, and what the append writes for each answer of the mutex.
#include <gtest/gtest.h>

#include <regex>

#include "FileText.h"
#include "TempDirectory.h"
#include "directories/InternTraceLine.h"
#include "platform/ProcessIds.h"

using namespace configdb;

namespace {

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

const char kFailure[] = " bei WaitForSingleObject, eigentliche Trace-Zeile folgt:";

}  // namespace

TEST(InternTraceLine, LineCarriesTimeStampIdsAndMessageOrTheFormatLength) {
    std::string ids = "[";
    ids.append(std::to_string(zeph::platform::CurrentProcessId())).append("] [");
    ids.append(std::to_string(zeph::platform::CurrentThreadId())).append("] ");
    const std::string message = "INFO - Init: Der Mutex <X> konnte erfolgreich erzeugt werden";
    const struct {
        const std::string* message;
        int length;
        std::string tail;
    } cases[] = {
        {&message, 61, message},
#ifdef _WIN32  // the ü as code page 1252 has it
        {nullptr, 0, "---------- (Keine Info zum Ausgeben verf\xFCgbar, iFormatLen <0>)"},
#else
        {nullptr, 0, "---------- (Keine Info zum Ausgeben verfügbar, iFormatLen <0>)"},
#endif
    };
    for (const auto& c : cases) {
        const std::string line = ComposeInternTraceLine(c.message, c.length);
        EXPECT_TRUE(std::regex_match(line.substr(0, 24),
                                     std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} )")));
        EXPECT_EQ(line.substr(24), ids + c.tail + "\n");
    }
}

TEST(InternTraceLine, AppendWritesAndReleasesOnlyWhenTheWaitSucceeded) {
    const struct {
        int32_t result;  // of the wait; 1 stands for a null mutex
        std::string prefix;
    } cases[] = {{kWaitObject0, ""},
                 {kWaitAbandoned, ""},
                 {kWaitTimeout, std::string("-----> _InternTrace: Timeout") + kFailure},
                 {kWaitFailed, std::string("------> _InternTrace: Fehler <-1>") + kFailure},
                 {INT32_MIN, std::string("------> _InternTrace: Fehler <-2147483648>") + kFailure},
                 {1, std::string("------> _InternTrace: Fehler <-1>") + kFailure}};
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
