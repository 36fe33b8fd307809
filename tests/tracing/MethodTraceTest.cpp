// The entry and exit lines of method traces: a table of scopes and the lines they write, then
// the scopes that must stay silent.
#include "tracing/MethodTrace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include "CapturingTraceSystem.h"
#include "platform/LocalTime.h"
#include "platform/ProcessClock.h"
#include "tracing/TraceLevels.h"

namespace {

constexpr char kComponent[] = "ZEPH.Ext.PcSc";
constexpr char16_t kSource[] = u"D:\\src\\Extension";
const std::string kUnwound =
    "\t Returnwert: Fehlerinfo: StackUnwinding ~MethodTrace: Es ist eine Exception aufgetreten";

std::atomic<int32_t> g_clock{0};
std::atomic<int> g_clockReads{0};

int32_t FakeClock() noexcept {
    ++g_clockReads;
    return g_clock.load();
}

struct ScopeOptions {
    int32_t line = 774;
    const char16_t* annotation = u"";
    int32_t startTicks = 0;
    int32_t elapsedTicks = 47;
    bool setReturnOk = false;
    bool throwAtEnd = false;
};

// A traced operation of the extension, as call sites open their scope; an exception it throws
// is caught by its caller.
void Power(const ScopeOptions& options) {
    g_clock = options.startTicks;
    try {
        MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"CZephExtensionPcSc::Power", kSource,
                          options.line, options.annotation);
        g_clock += options.elapsedTicks;
        if (options.setReturnOk) {
            trace.SetReturnOk();
        }
        if (options.throwAtEnd) {
            throw std::runtime_error("card removed");
        }
    } catch (const std::runtime_error&) {
    }
}

// A deferred entry line carries the time of day of the scope's start: "hh:mm:ss.mmm" in place.
std::string WithoutTimeOfDay(const std::string& text) {
    static const std::regex kDeferred(R"(^---> Beginn \(\d\d:\d\d:\d\d\.\d\d\d\): )");
    return std::regex_replace(text, kDeferred, "---> Beginn (hh:mm:ss.mmm): ");
}

class MethodTraceTest : public ::testing::Test {
  protected:
    void SetUp() override { zeph::platform::SetProcessClockForTesting(&FakeClock); }
    void TearDown() override { zeph::platform::SetProcessClockForTesting(nullptr); }

    CapturingTraceSystem m_capture;
};

const std::string kPower = "CZephExtensionPcSc::Power";
const std::string kEntry = "16 ---> Beginn: " + kPower + " (774) D:\\src\\Extension";
const std::string kDeferred = "1 ---> Beginn (hh:mm:ss.mmm): " + kPower;
const std::string kExit = "<--- Ende: " + kPower + " (0.047 sec)";
const std::u16string kLongAnnotation(5000, u'x');  // converted texts are cut at 4,095

// Each scope's entry and exit line, as "<level> <text>"; a scope of a component traced for
// exceptions and errors only writes only when an exception leaves it: both lines at level 1, the
// entry with the time of day and always with its annotation.
TEST_F(MethodTraceTest, LinesAreWrittenAsTheScopeEnds) {
    const struct {
        const char* name;
        ScopeOptions options;
        bool errorsOnly;
        std::string entry, exit;  // none: the scope writes nothing
    } scopes[] = {
        {"ReturnOk", ScopeOptions{.setReturnOk = true}, false, kEntry,
         "16 " + kExit + "\t Returnwert: ok"},
        {"Annotation", ScopeOptions{.line = 12, .annotation = u"Leser \u00e4"}, false,
         "16 ---> Beginn: " + kPower + " (12) 'Leser \xE4' D:\\src\\Extension", "16 " + kExit},
        {"ClockWraps", ScopeOptions{.startTicks = INT32_MAX - 999, .elapsedTicks = 1234}, false,
         kEntry, "16 <--- Ende: " + kPower + " (1.234 sec)"},
        // An exception replaces "ok" and moves the exit to level 1.
        {"Exception", ScopeOptions{.setReturnOk = true, .throwAtEnd = true}, false, kEntry,
         "1 " + kExit + kUnwound},
        {"LongAnnotation", ScopeOptions{.annotation = kLongAnnotation.c_str()}, false,
         "16 ---> Beginn: " + kPower + " (774) '" + std::string(4095, 'x') + "' D:\\src\\Extension",
         "16 " + kExit},
        {"ErrorsOnly", ScopeOptions{.setReturnOk = true}, true, "", ""},
        {"ErrorsOnlyException", ScopeOptions{.elapsedTicks = 312, .throwAtEnd = true}, true,
         kDeferred + " (774) '' D:\\src\\Extension",
         "1 <--- Ende: " + kPower + " (0.312 sec)" + kUnwound},
        {"ErrorsOnlyExceptionNoLineNumber", ScopeOptions{.line = -1, .throwAtEnd = true}, true,
         kDeferred + " '' D:\\src\\Extension", "1 " + kExit + kUnwound},
    };
    for (const auto& scope : scopes) {
        SCOPED_TRACE(scope.name);
        m_capture.Clear();
        m_capture.SetCategoryLevels(kComponent, scope.errorsOnly
                                                    ? TRACE_EXCEPTION | TRACE_ERROR
                                                    : CapturingTraceSystem::kAllLevels);
        Power(scope.options);
        std::vector<std::string> lines;
        for (const TraceLine& line : m_capture.Lines()) {
            EXPECT_EQ(line.category, kComponent);
            lines.push_back(std::to_string(line.level) + " " + WithoutTimeOfDay(line.text));
        }
        if (!scope.entry.empty()) {
            EXPECT_EQ(lines, (std::vector<std::string>{scope.entry, scope.exit}));
        } else {
            EXPECT_TRUE(lines.empty());
        }
    }
}

std::string TimeOfDayNow() {
    const zeph::platform::LocalTimeOfDay now =
        zeph::platform::LocalTimeOfDayAt(zeph::platform::WallClockNow());
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", now.hour, now.minute, now.second,
                  now.millisecond);
    return text;
}

// On the real clocks: the deferred entry line shows the time of entry, not of the exception, and
// the exit line the milliseconds the scope lasted.
TEST(MethodTraceClockTest, DeferredEntryShowsTheTimeOfEntryAndExitTheDuration) {
    CapturingTraceSystem capture;
    capture.SetCategoryLevels(kComponent, TRACE_EXCEPTION | TRACE_ERROR);
    std::string before;
    std::string after;
    try {
        before = TimeOfDayNow();
        MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"M", kSource, 1, u"");
        after = TimeOfDayNow();
        // Longer than a tick of the coarsest wall clock (15.6 ms), so the exception comes later.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        throw std::runtime_error("card removed");
    } catch (const std::runtime_error&) {
    }
    const std::vector<TraceLine> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    const double seconds = std::stod(lines[1].text.substr(lines[1].text.find('(') + 1));
    EXPECT_GE(seconds, 0.039);
    EXPECT_LT(seconds, 10.0);
    if (after < before) {
        GTEST_SKIP() << "midnight passed";
    }
    const std::string entryTime = lines[0].text.substr(std::string("---> Beginn (").size(), 12);
    EXPECT_LE(before, entryTime);
    EXPECT_LE(entryTime, after);
}

TEST_F(MethodTraceTest, UntracedOrIncompleteScopesStaySilentAndReadNoClock) {
    m_capture.SetCategoryLevels(kComponent, 0);
    g_clockReads = 0;
    Power({.setReturnOk = true, .throwAtEnd = true});
    EXPECT_EQ(g_clockReads, 0);  // only an active scope needs its start time
    {
        MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"M", kSource, 1, u"");
        m_capture.SetCategoryLevels(kComponent, CapturingTraceSystem::kAllLevels);
    }  // tracing that started within the scope leaves it silent
    { MethodTrace nullMethod(TRACE_INFO, u"ZEPH.Ext.PcSc", nullptr, kSource, 1, u""); }
    { MethodTrace nullComponent(TRACE_INFO, nullptr, u"M", kSource, 1, u""); }
    EXPECT_TRUE(m_capture.Lines().empty());
}

}  // namespace
