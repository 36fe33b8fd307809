// The module's trace interface over the trace system library: what reaches the trace system,
// in which form, and what never does; the sinks of the extension and the helper library; the
// entry and exit lines of method traces.
#include "tracing/TraceInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "CapturingTraceSystem.h"
#include "platform/ProcessClock.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSinks.h"

namespace {

constexpr char16_t kComponent[] = u"ZEPH.Ext.PcSc";

struct ThrowingText {
    operator std::u16string_view() const { throw std::runtime_error("conversion failed"); }
};

class TraceInterfaceTest : public ::testing::Test {
  protected:
    void TearDown() override { SetHelperLibComponent(kHelperLibDefaultTraceComponent); }

    CapturingTraceSystem m_capture;
};

// Texts arrive in ISO 8859-1, cut at 4095 characters before they are converted; an invalid
// format, a character beyond ISO 8859-1 or an argument that throws leaves an empty text.
TEST_F(TraceInterfaceTest, DeliversTheTextsAsTheTraceSystemTakesThem) {
    const std::u16string longer(10000, u'y');
    TRC_WriteFormat(TRACE_ERROR, kComponent, u"%s::SCardTransmit lieferte Fehler %s!",
                    u"CZephExtensionPcSc::Transmit", u"<REMOVED_CARD>");
    TRC_WriteW(TRACE_INFO, kComponent, u"\u00c4nderung");
    TRC_WriteW(TRACE_INFO, kComponent, u"\u20ac");
    TRC_WriteW(TRACE_INFO, kComponent, u"");
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s", ThrowingText{});
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s", std::u16string(4096, u'x'));
    TRC_WriteFormat(TRACE_INFO, kComponent, longer.c_str());
    TRC_WriteW(TRACE_INFO, kComponent, longer.c_str());
    TRC_WriteW(TRACE_INFO, kComponent, (std::u16string(4095, u'z') + u"\u20ac").c_str());
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s %s", std::u16string(4094, u'z'), u"\u20ac");
    TRC_WriteW(TRACE_INFO, kComponent, (std::u16string(4094, u'z') + u"\u20ac").c_str());
    EXPECT_EQ(m_capture.Lines().front().level, TRACE_ERROR);
    EXPECT_EQ(
        m_capture.Texts(),
        (std::vector<std::string>{
            "CZephExtensionPcSc::Transmit::SCardTransmit lieferte Fehler <REMOVED_CARD>!",
            "\xC4nderung", "", "", std::string(4095, 'x'), std::string(4095, 'y'),
            std::string(4095, 'y'), std::string(4095, 'z'), std::string(4094, 'z') + " ", ""}));
}

// Components are cut at 127 characters; a missing or unconvertible component, or a null text,
// drops the line.
TEST_F(TraceInterfaceTest, ComponentsAreCutAndWithoutComponentOrTextNothingIsWritten) {
    for (const char16_t* component : {static_cast<const char16_t*>(nullptr), u"", u"\u20ac"}) {
        TRC_WriteFormat(TRACE_INFO, component, u"formatted");
        TRC_WriteW(TRACE_INFO, component, u"wide");
        EXPECT_FALSE(TRC_ShouldTraceCategoryW(TRACE_INFO, component));
    }
    TRC_Write(TRACE_INFO, nullptr, "narrow");
    TRC_WriteFormat(TRACE_INFO, kComponent, nullptr);
    TRC_WriteW(TRACE_INFO, kComponent, nullptr);
    TRC_Write(TRACE_INFO, "ZEPH.Ext.PcSc", nullptr);
    EXPECT_FALSE(TraceSystemLib::Instance().ShouldTraceCategory(TRACE_INFO, nullptr));
    const std::u16string component(200, u'C');
    TRC_WriteFormat(TRACE_INFO, component.c_str(), u"formatted");
    TRC_WriteW(TRACE_INFO, component.c_str(), u"wide");
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<TraceLine>{{TRACE_INFO, std::string(127, 'C'), "formatted"},
                                      {TRACE_INFO, std::string(127, 'C'), "wide"}}));
}

// The extension's sink writes errors at level 2 and others at 16; the helper library's writes
// under its current component, which is cut at 63 characters and ignores null.
TEST_F(TraceInterfaceTest, SinksWriteErrorsAtLevel2AndOthersAt16UnderTheirComponent) {
    ExtensionTraceSink(true, u"CDB_GetLogDir: fehlgeschlagen");
    ExtensionTraceSink(false, u"CDB_GetLogDir: ok");
    HelperLibTraceSink(true, u"before");
    SetHelperLibComponent(kExtensionTraceComponent);
    HelperLibTraceSink(false, u"after");
    EXPECT_EQ(
        m_capture.Lines(),
        (std::vector<TraceLine>{{TRACE_ERROR, "ZEPH.Ext.PcSc", "CDB_GetLogDir: fehlgeschlagen"},
                                {TRACE_INFO, "ZEPH.Ext.PcSc", "CDB_GetLogDir: ok"},
                                {TRACE_ERROR, "ZEPH.Help.Lib", "before"},
                                {TRACE_INFO, "ZEPH.Ext.PcSc", "after"}}));
    SetHelperLibComponent(std::u16string(100, u'h').c_str());
    SetHelperLibComponent(nullptr);
    EXPECT_EQ(GetHelperLibComponent(), std::u16string(63, u'h'));
}

constexpr char16_t kSource[] = u"D:\\src\\Extension";
const std::string kUnwound =
    "\t Returnwert: Fehlerinfo: StackUnwinding ~MethodTrace: Es ist eine Exception aufgetreten";

std::atomic<int32_t> g_clock{0};

int32_t FakeClock() noexcept {
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
    };
    for (const auto& scope : scopes) {
        SCOPED_TRACE(scope.name);
        m_capture.Clear();
        m_capture.SetLevels(scope.errorsOnly ? TRACE_EXCEPTION | TRACE_ERROR
                                             : CapturingTraceSystem::kAllLevels);
        Power(scope.options);
        std::vector<std::string> lines;
        for (const TraceLine& line : m_capture.Lines()) {
            EXPECT_EQ(line.category, "ZEPH.Ext.PcSc");
            lines.push_back(std::to_string(line.level) + " " + WithoutTimeOfDay(line.text));
        }
        if (!scope.entry.empty()) {
            EXPECT_EQ(lines, (std::vector<std::string>{scope.entry, scope.exit}));
        } else {
            EXPECT_TRUE(lines.empty());
        }
    }
}

}  // namespace
