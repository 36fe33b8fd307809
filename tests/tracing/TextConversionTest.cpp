#include "platform/TextConversion.h"

#include <gtest/gtest.h>

#include "tracing/FormatExpander.h"

#ifdef _WIN32
#include <windows.h>
#endif

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;

namespace {

TEST(TextConversionTest, AsciiRoundTrips) {
    EXPECT_EQ(NarrowToWide("SCardTransmit 0x%08x"), u"SCardTransmit 0x%08x");
    EXPECT_EQ(WideToNarrow(u"SCardTransmit 0x%08x"), "SCardTransmit 0x%08x");
    EXPECT_EQ(NarrowToWide(""), u"");
    EXPECT_EQ(WideToNarrow(u""), "");
}

#ifndef _WIN32
TEST(TextConversionTest, LinuxNarrowTextIsUtf8) {
    EXPECT_EQ(NarrowToWide("\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), u"\u00e4\u20ac\U0001F600");
    EXPECT_EQ(WideToNarrow(u"\u00e4\u20ac\U0001F600"), "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(TextConversionTest, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(NarrowToWide("a\xC3"), u"a\uFFFD");                    // cut short at the end
    EXPECT_EQ(NarrowToWide("\xC3(b"), u"\uFFFD(b");                  // missing continuation
    EXPECT_EQ(NarrowToWide("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
    EXPECT_EQ(NarrowToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(NarrowToWide("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // > U+10FFFF
    EXPECT_EQ(NarrowToWide("\xFF\x80z"), u"\uFFFD\uFFFDz");
    EXPECT_EQ(NarrowToWide("\xE2\x82"), u"\uFFFD");  // one maximal part
}

TEST(TextConversionTest, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(WideToNarrow(std::u16string{u'a', char16_t(0xD800)}), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToNarrow(std::u16string{char16_t(0xDC00), u'b'}),
              "\xEF\xBF\xBD"
              "b");
}

TEST(TextConversionTest, NarrowPrefixEndsBetweenUtf8Characters) {
    struct Case {
        const char* text;
        size_t maxBytes;
        size_t expected;
    };
    const Case cases[] = {
        {"ab", 5, 2},           {"a\xC3\xA4", 2, 1},    {"a\xC3\xA4", 3, 3},
        {"\xE2\x82\xAC", 1, 0}, {"\xE2\x82\xAC", 2, 0}, {"\xF0\x9F\x98\x80", 3, 0},
        {"a\x80\x80", 2, 2},     // stray continuation bytes are characters of their own
        {"\xC3\xA4\x80", 2, 2},  // the lead announces one continuation byte only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zeph::platform::NarrowPrefixLength(c.text, c.maxBytes), c.expected)
            << c.text << " " << c.maxBytes;
    }
}

TEST(TextConversionTest, FormatsConvertTextOfTheOtherWidth) {
    EXPECT_EQ(zeph::trace::FormatText(u"<%S>", "\xC3\xA4"), u"<\u00e4>");
    EXPECT_EQ(zeph::trace::FormatText("<%S>", u"\u00e4"), "<\xC3\xA4>");
}
#else
TEST(TextConversionTest, WindowsNarrowTextUsesTheAnsiCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "ANSI code page " << GetACP();
    }
    EXPECT_EQ(NarrowToWide("\xE4\x80"), u"\u00e4\u20ac");
    EXPECT_EQ(WideToNarrow(u"\u00e4\u20ac"), "\xE4\x80");
    EXPECT_EQ(zeph::trace::FormatText(u"<%S>", "\xE4"), u"<\u00e4>");
}
#endif

}  // namespace
