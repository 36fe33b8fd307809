#include "tracing/MethodTrace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "CapturingTraceSystem.h"
#include "platform/ProcessClock.h"
#include "tracing/TraceLevels.h"

namespace {

constexpr char kComponent[] = "ZEPH.Ext.PcSc";
constexpr char16_t kSource[] = u"D:\\src\\Extension";
constexpr char kUnwindingNote[] =
    "Fehlerinfo: StackUnwinding ~MethodTrace: Es ist eine Exception aufgetreten";

std::atomic<int32_t> g_clock{0};
std::atomic<int> g_clockReads{0};

int32_t FakeClock() noexcept {
    ++g_clockReads;
    return g_clock.load();
}

struct ScopeOptions {
    int32_t line = 774;
    const char16_t* annotation = u"";
    int32_t elapsedTicks = 47;
    bool setReturnOk = false;
    bool throwAtEnd = false;
};

// A traced operation of the extension, as call sites open their scope.
void Power(const ScopeOptions& options) {
    MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"CZephExtensionPcSc::Power", kSource,
                      options.line, options.annotation);
    g_clock += options.elapsedTicks;
    if (options.setReturnOk) {
        trace.SetReturnOk();
    }
    if (options.throwAtEnd) {
        throw std::runtime_error("card removed");
    }
}

void PowerCatching(const ScopeOptions& options) {
    try {
        Power(options);
    } catch (const std::runtime_error&) {
    }
}

// "---> Beginn (hh:mm:ss.mmm): " followed by `rest`, with any time of day.
void ExpectDeferredEntry(const std::string& text, std::string_view rest) {
    const std::string_view prefix = "---> Beginn (";
    const std::string_view shape = "00:00:00.000): ";
    ASSERT_EQ(text.size(), prefix.size() + shape.size() + rest.size()) << text;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    for (size_t i = 0; i < shape.size(); ++i) {
        const char c = text[prefix.size() + i];
        EXPECT_TRUE(shape[i] == '0' ? (c >= '0' && c <= '9') : c == shape[i]) << text;
    }
    EXPECT_EQ(text.substr(prefix.size() + shape.size()), rest);
}

class MethodTraceTest : public ::testing::Test {
  protected:
    void SetUp() override { zeph::platform::SetProcessClockForTesting(&FakeClock); }
    void TearDown() override { zeph::platform::SetProcessClockForTesting(nullptr); }

    void TraceErrorsOnly() {
        m_capture.SetCategoryLevels(kComponent, TRACE_EXCEPTION | TRACE_ERROR);
    }

    CapturingTraceSystem m_capture;
};

TEST_F(MethodTraceTest, TracedComponentWritesEntryAndExitAtTheScopeLevel) {
    Power({});
    Power({.setReturnOk = true});
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<TraceLine>{
                  {TRACE_INFO, kComponent,
                   "---> Beginn: CZephExtensionPcSc::Power (774) D:\\src\\Extension"},
                  {TRACE_INFO, kComponent, "<--- Ende: CZephExtensionPcSc::Power (0.047 sec)"},
                  {TRACE_INFO, kComponent,
                   "---> Beginn: CZephExtensionPcSc::Power (774) D:\\src\\Extension"},
                  {TRACE_INFO, kComponent,
                   "<--- Ende: CZephExtensionPcSc::Power (0.047 sec)\t Returnwert: ok"}}));
}

TEST_F(MethodTraceTest, ImmediateEntryOmitsLineNumberAndEmptyAnnotation) {
    Power({.line = 0});
    Power({.line = 12, .annotation = u"Leser \u00e4"});
    const std::vector<std::string> texts = m_capture.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "---> Beginn: CZephExtensionPcSc::Power D:\\src\\Extension");
    EXPECT_EQ(texts[2],
              "---> Beginn: CZephExtensionPcSc::Power (12) 'Leser \xE4' D:\\src\\Extension");
}

TEST_F(MethodTraceTest, ErrorsOnlyComponentWritesOnlyWhenAnExceptionLeavesTheScope) {
    TraceErrorsOnly();
    Power({.setReturnOk = true});
    EXPECT_TRUE(m_capture.Lines().empty());
    PowerCatching({.elapsedTicks = 312, .throwAtEnd = true});
    PowerCatching({.line = -1, .throwAtEnd = true});
    const std::vector<TraceLine> lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 4u);
    for (const TraceLine& line : lines) {
        EXPECT_EQ(line.level, TRACE_EXCEPTION);
    }
    ExpectDeferredEntry(lines[0].text, "CZephExtensionPcSc::Power (774) '' D:\\src\\Extension");
    EXPECT_EQ(lines[1].text, std::string("<--- Ende: CZephExtensionPcSc::Power (0.312 sec)\t "
                                         "Returnwert: ") +
                                 kUnwindingNote);
    ExpectDeferredEntry(lines[2].text, "CZephExtensionPcSc::Power '' D:\\src\\Extension");
}

TEST_F(MethodTraceTest, ExceptionAfterImmediateEntryReplacesOkAndExitsAtLevel1) {
    PowerCatching({.setReturnOk = true, .throwAtEnd = true});
    const std::vector<TraceLine> lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, TRACE_INFO);
    EXPECT_EQ(lines[1], (TraceLine{TRACE_EXCEPTION, kComponent,
                                   std::string("<--- Ende: CZephExtensionPcSc::Power (0.047 sec)\t "
                                               "Returnwert: ") +
                                       kUnwindingNote}));
}

TEST_F(MethodTraceTest, UntracedComponentWritesNothingAndCostsOneCategoryQuery) {
    m_capture.SetCategoryLevels(kComponent, 0);
    g_clockReads = 0;
    Power({});
    EXPECT_EQ(m_capture.ShouldTraceCategoryCalls(), 1u);
    EXPECT_EQ(g_clockReads, 0);  // only an active scope needs its start time
    PowerCatching({.setReturnOk = true, .throwAtEnd = true});
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(MethodTraceTest, InactiveScopeStaysSilentWhenTracingStartsLater) {
    m_capture.SetCategoryLevels(kComponent, 0);
    {
        MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"M", kSource, 1, u"");
        trace.SetReturnOk();
        m_capture.SetCategoryLevels(kComponent, CapturingTraceSystem::kAllLevels);
    }
    { MethodTrace nullMethod(TRACE_INFO, u"ZEPH.Ext.PcSc", nullptr, kSource, 1, u""); }
    { MethodTrace nullComponent(TRACE_INFO, nullptr, u"M", kSource, 1, u""); }
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(MethodTraceTest, ScopeEndingInADestructorDuringUnwindingCountsAsException) {
    struct Cleanup {
        ~Cleanup() { Power({}); }
    };
    try {
        Cleanup cleanup;
        throw std::runtime_error("outer");
    } catch (const std::runtime_error&) {
    }
    const std::vector<TraceLine> lines = m_capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].level, TRACE_EXCEPTION);
}

TEST_F(MethodTraceTest, ElapsedTimeIsPrintedInSecondsWithThreeDecimals) {
    Power({.elapsedTicks = 2500});
    g_clock = INT32_MAX - 999;  // the 32-bit clock wraps during the next scope
    Power({.elapsedTicks = 1234});
    const std::vector<std::string> texts = m_capture.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[1], "<--- Ende: CZephExtensionPcSc::Power (2.500 sec)");
    EXPECT_EQ(texts[3], "<--- Ende: CZephExtensionPcSc::Power (1.234 sec)");
}

}  // namespace
