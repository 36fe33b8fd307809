// The module's trace interface over the trace system library: what reaches the trace system,
// in which form, and what never does; the sinks of the extension and the helper library.
#include "tracing/TraceInterface.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "CapturingTraceSystem.h"
#include "tracing/TraceSinks.h"

namespace {

constexpr char16_t kComponent[] = u"ZEPH.Ext.PcSc";

// A text argument that counts how often it is captured.
struct CountingText {
    int* captures;
    operator std::u16string_view() const {
        ++*captures;
        return u"counted";
    }
};

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
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s \u00e4\u00f6\u00fc\u00df", u"Gr\u00fc\u00dfe");
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
            "Gr\xFC\xDF"
            "e \xE4\xF6\xFC\xDF",
            "\xC4nderung", "", "", std::string(4095, 'x'), std::string(4095, 'y'),
            std::string(4095, 'y'), std::string(4095, 'z'), std::string(4094, 'z') + " ", ""}));
}

TEST_F(TraceInterfaceTest, UntracedLevelNeverCapturesOrExpands) {
    m_capture.SetLevels(TRACE_ERROR);
    int captures = 0;
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s", CountingText{&captures});
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%d %q", u"mismatched");
    EXPECT_EQ(captures, 0);
    TRC_WriteFormat(TRACE_ERROR, kComponent, u"%s", CountingText{&captures});
    EXPECT_EQ(captures, 1);
    EXPECT_EQ(m_capture.Texts(), std::vector<std::string>{"counted"});
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

TEST_F(TraceInterfaceTest, NarrowWriteAndCategoryQueryFollowTheTraceSystem) {
    m_capture.SetLevels(TRACE_ERROR);
    m_capture.SetCategoryLevels("ZEPH.Ext.PcSc", TRACE_INFO);
    EXPECT_TRUE(TRC_ShouldTraceCategoryW(TRACE_INFO, kComponent));
    EXPECT_FALSE(TRC_ShouldTraceCategory(TRACE_ERROR, "ZEPH.Ext.PcSc"));
    TRC_Write(TRACE_INFO, "ZEPH.Ext.PcSc", "level not traced globally");
    TRC_Write(TRACE_ERROR, "Other", "traced");
    EXPECT_EQ(m_capture.Lines(), (std::vector<TraceLine>{{TRACE_ERROR, "Other", "traced"}}));
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

#ifdef _WIN32
TEST_F(TraceInterfaceTest, AcceptsWin32WideTexts) {
    TRC_WriteFormat(TRACE_INFO, L"ZEPH.Ext.PcSc", L"%s <%s>", L"Leser", std::wstring(L"\u00e4"));
    TRC_WriteW(TRACE_INFO, L"ZEPH.Ext.PcSc", L"wide");
    EXPECT_TRUE(TRC_ShouldTraceCategoryW(TRACE_INFO, L"ZEPH.Ext.PcSc"));
    EXPECT_EQ(m_capture.Texts(), (std::vector<std::string>{"Leser <\xE4>", "wide"}));
}
#endif

}  // namespace
