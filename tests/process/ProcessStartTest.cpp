// The process start: checks, quoting and command line of the worker in a table over a harmless
// program, then one real start that leaves a mark.
#include "process/ProcessStart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "CapturingTraceSystem.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "platform/TextConversion.h"
#include "tracing/TraceLevels.h"

namespace {

using ::testing::Contains;
using ::testing::StartsWith;

// A program that ends at once whatever its parameters, and parameters that make it do so.
#ifdef _WIN32
constexpr char16_t kTool[] = u"C:\\windows\\system32\\cmd.exe";  // in Wine's system directory
constexpr char16_t kToolParameters[] = u"/c exit";
constexpr char16_t kMissingProgram[] = u"C:\\zeph-missing\\tool.exe";
// Wine's wait fails on a console child with last error 0 instead of 1471.
const std::vector<std::string> kWaitErrors = {
    "Beim Warten auf den Prozess-Start trat der Fehler <0> auf!"};
#else
constexpr char16_t kTool[] = u"/bin/true";
constexpr char16_t kToolParameters[] = u"ignored";
constexpr char16_t kMissingProgram[] = u"/zeph-missing/tool";
const std::vector<std::string> kWaitErrors;  // the wait takes the console path
#endif

struct StartCase {
    const char* name;
    std::optional<std::u16string> program;
    std::optional<std::u16string> parameters;
    uint32_t status;
    std::optional<std::u16string> commandLine;  // the started one; none when nothing starts
    bool quotingTraced;
    std::string error;  // the level-2 line of a refused call
};

std::vector<StartCase> AllStartCases() {
    const std::u16string tool = kTool;
    const std::u16string parameters = kToolParameters;
    const std::u16string started = u"\"" + tool + u"\" " + parameters;
    const std::u16string unc = u"\\\\server\\share\\tool.exe";
    const std::u16string missing = kMissingProgram;
    const std::string bothNull = "Sowohl der Prozessname, als auch die Parameter sind NULL!";
    const std::string notAbsolute = Latin1(
        "Der übergebene Dateiname wurde nicht absolut angegeben! Der Prozess wird nicht "
        "gestartet!");
    const std::string createFailed = "CreateProcess";
    return {
        {"BothNull", {}, {}, 1000, {}, false, bothNull},
        {"Relative", u"morahost.exe", {}, 1000, {}, false, notAbsolute},
        {"Unquoted", tool, parameters, 0, started, true, ""},
        {"Quoted", u"\"" + tool + u"\"", parameters, 0, started, false, ""},
        {"NoParameters", tool, {}, 0, u"\"" + tool + u"\" ", true, ""},
#ifdef _WIN32
        {"UncPathIsAbsolute", unc, {}, 1002, u"\"" + unc + u"\" ", true, createFailed},
        {"RootRelativePath", u"\\dir\\x.exe", {}, 1000, {}, false, notAbsolute},
        {"DriveRelativePath", u"C:x.exe", {}, 1000, {}, false, notAbsolute},
#else
        {"BackslashPathIsRelative", unc, {}, 1000, {}, false, notAbsolute},
#endif
        {"CannotBeCreated", missing, {}, 1002, u"\"" + missing + u"\" ", true, createFailed},
    };
}

TEST(StartProcess, GivesStatusCommandLineAndTraces) {
    for (const StartCase& c : AllStartCases()) {
        SCOPED_TRACE(c.name);
        CapturingTraceSystem traces;
        const uint32_t status =
            ThreadControl::StartProcess(c.program ? c.program->c_str() : nullptr,
                                        c.parameters ? c.parameters->c_str() : nullptr, nullptr);
        EXPECT_EQ(status, c.status);
        const std::vector<std::string> errors = traces.TextsAt(TRACE_ERROR);
        const auto traced = [&traces](const std::string& start) {
            return ::testing::Value(traces.TextsAt(TRACE_DETAIL), Contains(StartsWith(start)));
        };
        EXPECT_EQ(traced("Der Programmaufruf <" +
                         (c.commandLine
                              ? zeph::platform::WideToNarrow(*c.commandLine) + "> wird gestartet."
                              : "")),
                  c.commandLine.has_value());
        EXPECT_EQ(traced("Prozess-Name wurde gequoted: <\""), c.quotingTraced);
        if (c.error == "CreateProcess") {
            EXPECT_THAT(errors,
                        Contains(::testing::AllOf(StartsWith("CreateProcess() lieferte <"),
                                                  ::testing::EndsWith(Latin1("> zurück!")))));
        } else if (!c.error.empty()) {
            EXPECT_EQ(errors, std::vector<std::string>{c.error});
        }
        for (const TraceLine& line : traces.Lines()) {
            EXPECT_EQ(line.category, "Mora.ThreadControl");
        }
    }
}

// The single-byte start hands its name on unchanged, each byte as one character.
TEST(StartProcessAsync, ConvertsTheNameBytewise) {
    EXPECT_EQ(ThreadControl::ConvertToUnicode("C:\\M\xF6ra"), u"C:\\M\u00F6ra");
    CapturingTraceSystem traces;
    EXPECT_EQ(ThreadControl::TC_StartProcessAsyncA(nullptr), 1000u);
    EXPECT_EQ(ThreadControl::TC_StartProcessAsyncA("morahost.exe"), 1000u);
    EXPECT_THAT(traces.TextsAt(TRACE_DETAIL),
                Contains("Funktionsaufruf mit Prozessname: <morahost.exe>, Parameter: <NULL>, "
                         "Warten auf Prozess-Ende: <Nein>"));
}

// A console program really starts, returns at once and leaves no wait line.
TEST(StartProcessAsync, StartsAConsoleProgram) {
    TempDirectory directory;
    const std::filesystem::path marker = directory.Path() / "started";
#ifdef _WIN32
    const std::u16string program = kTool;
    const std::u16string parameters = u"/c echo started> " + marker.u16string();
#else
    const std::u16string program = u"/usr/bin/touch";
    const std::u16string parameters = marker.u16string();
#endif
    CapturingTraceSystem traces;
    EXPECT_EQ(ThreadControl::StartProcess(program.c_str(), parameters.c_str(), nullptr), 0u);
    EXPECT_TRUE(WaitForFile(marker, std::chrono::seconds(20)));
    EXPECT_THAT(traces.TextsAt(TRACE_WARNING), ::testing::IsEmpty());
    EXPECT_THAT(traces.TextsAt(TRACE_ERROR), ::testing::IsSubsetOf(kWaitErrors));
    EXPECT_THAT(traces.TextsAt(TRACE_DETAIL),
                ::testing::Not(Contains("WaitForInputIdle() war erfolgreich.")));
}

}  // namespace
