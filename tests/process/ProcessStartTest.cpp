// The process start: checks, quoting and command line of the worker in a table over a harmless
// program, then one real start that leaves a mark.
#include "process/ProcessStart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "CapturingTraceSystem.h"
#include "TempDirectory.h"
#include "platform/TextConversion.h"
#include "tracing/TraceLevels.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;
using ThreadControl::StartProcess;
using ThreadControl::TC_StartProcessAsyncA;

// A program that ends at once whatever its parameters, and parameters that make it do so.
#ifdef _WIN32
std::u16string Tool() {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return zeph::platform::AsChar16(directory) + std::u16string(u"\\cmd.exe");
}
constexpr char16_t kToolParameters[] = u"/c exit";
constexpr char16_t kMissingProgram[] = u"C:\\zeph-missing\\tool.exe";
#else
std::u16string Tool() {
    return u"/bin/true";
}
constexpr char16_t kToolParameters[] = u"ignored";
constexpr char16_t kMissingProgram[] = u"/zeph-missing/tool";
#endif

std::string Narrow(const std::u16string& text) {
    return zeph::platform::WideToNarrow(text);
}

struct StartCase {
    const char* name;
    std::optional<std::u16string> program;
    std::optional<std::u16string> parameters;
    uint32_t status;
    std::optional<std::u16string> commandLine;  // the started one; none when nothing starts
    bool quotingTraced;
    std::string error;  // the level-2 line of a refused call
};

void PrintTo(const StartCase& startCase, std::ostream* out) {
    *out << startCase.name;
}

const std::u16string kQuoted = u"\"" + Tool() + u"\" " + kToolParameters;

std::vector<StartCase> AllStartCases() {
    const std::string notAbsolute = Latin1(
        "Der übergebene Dateiname wurde nicht absolut angegeben! Der Prozess wird nicht "
        "gestartet!");
    return {
        {"BothNull",
         {},
         {},
         1000,
         {},
         false,
         "Sowohl der Prozessname, als auch die Parameter sind NULL!"},
        {"Relative", u"morahost.exe", {}, 1000, {}, false, notAbsolute},
        {"Empty", u"", kToolParameters, 1000, {}, false, notAbsolute},
        {"Unquoted", Tool(), kToolParameters, 0, kQuoted, true, ""},
        {"Quoted", u"\"" + Tool() + u"\"", kToolParameters, 0, kQuoted, false, ""},
        {"OpeningQuoteOnly", u"\"" + Tool(), kToolParameters, 0, kQuoted, true, ""},
        {"ClosingQuoteOnly", Tool() + u"\"", kToolParameters, 0, kQuoted, true, ""},
        {"NoParameters", Tool(), {}, 0, u"\"" + Tool() + u"\" ", true, ""},
        {"ParametersAlone",
         {},
         Tool() + u" " + kToolParameters,
         0,
         u" " + Tool() + u" " + kToolParameters,
         false,
         ""},
#ifdef _WIN32
        {"UncPathIsAbsolute",
         u"\\\\server\\share\\tool.exe",
         {},
         1002,
         u"\"\\\\server\\share\\tool.exe\" ",
         true,
         "CreateProcess"},
#else
        {"BackslashPathIsRelative",
         u"\\\\server\\share\\tool.exe",
         {},
         1000,
         {},
         false,
         notAbsolute},
#endif
        {"CannotBeCreated",
         kMissingProgram,
         {},
         1002,
         u"\"" + std::u16string(kMissingProgram) + u"\" ",
         true,
         "CreateProcess"},
    };
}

class StartCases : public ::testing::TestWithParam<StartCase> {
  protected:
    CapturingTraceSystem traces;
};

TEST_P(StartCases, GiveStatusCommandLineAndTraces) {
    const StartCase& c = GetParam();
    const uint32_t status = StartProcess(c.program ? c.program->c_str() : nullptr,
                                         c.parameters ? c.parameters->c_str() : nullptr, nullptr);
    EXPECT_EQ(status, c.status);
    const std::vector<std::string> details = traces.TextsAt(TRACE_DETAIL);
    const std::vector<std::string> errors = traces.TextsAt(TRACE_ERROR);
    if (c.commandLine) {
        EXPECT_THAT(details, Contains("Der Programmaufruf <" + Narrow(*c.commandLine) +
                                      "> wird gestartet."));
    } else {
        EXPECT_THAT(details, Not(Contains(::testing::StartsWith("Der Programmaufruf"))));
    }
    const auto quotingLine = ::testing::StartsWith("Prozess-Name wurde gequoted: <\"");
    if (c.quotingTraced) {
        EXPECT_THAT(details, Contains(quotingLine));
    } else {
        EXPECT_THAT(details, Not(Contains(quotingLine)));
    }
    if (c.error == "CreateProcess") {
        EXPECT_THAT(
            errors,
            Contains(::testing::MatchesRegex("CreateProcess\\(\\) lieferte <[0-9]+> zur.ck!")));
    } else if (!c.error.empty()) {
        EXPECT_EQ(errors, std::vector<std::string>{c.error});
    }
    for (const TraceLine& line : traces.Lines()) {
        EXPECT_EQ(line.category, "Mora.ThreadControl");
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, StartCases, ::testing::ValuesIn(AllStartCases()),
                         [](const ::testing::TestParamInfo<StartCase>& row) {
                             return std::string(row.param.name);
                         });

// The single-byte start hands its name on unchanged, each byte as one character.
TEST(StartProcessAsync, ConvertsTheNameBytewise) {
    EXPECT_EQ(ThreadControl::ConvertToUnicode("C:\\M\xF6ra"), u"C:\\M\u00F6ra");
    CapturingTraceSystem traces;
    EXPECT_EQ(TC_StartProcessAsyncA(nullptr), 1000u);
    EXPECT_EQ(TC_StartProcessAsyncA("morahost.exe"), 1000u);
    EXPECT_THAT(traces.TextsAt(TRACE_DETAIL),
                Contains("Funktionsaufruf mit Prozessname: <morahost.exe>, Parameter: <NULL>, "
                         "Warten auf Prozess-Ende: <Nein>"));
}

// A console program really starts, returns at once and leaves no wait line.
TEST(StartProcessAsync, StartsAConsoleProgram) {
    TempDirectory directory;
    const std::filesystem::path marker = directory.Path() / "started";
#ifdef _WIN32
    const std::u16string parameters = u"/c echo started> " + marker.u16string();
#else
    const std::u16string program = u"/usr/bin/touch";
    const std::u16string parameters = marker.u16string();
#endif
    CapturingTraceSystem traces;
#ifdef _WIN32
    EXPECT_EQ(StartProcess(Tool().c_str(), parameters.c_str(), nullptr), 0u);
#else
    EXPECT_EQ(StartProcess(program.c_str(), parameters.c_str(), nullptr), 0u);
#endif
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_THAT(traces.TextsAt(TRACE_WARNING), IsEmpty());
    EXPECT_THAT(traces.TextsAt(TRACE_ERROR), IsEmpty());
    EXPECT_THAT(traces.TextsAt(TRACE_DETAIL), Not(Contains("WaitForInputIdle() war erfolgreich.")));
}

}  // namespace
