// The platform's narrow texts: UTF-8 on Linux, the ANSI code page on Windows. ASCII texts pass
// unchanged in every narrow trace text (FormatExpanderTest).
#include "platform/TextConversion.h"

#include <gtest/gtest.h>

#include "tracing/FormatExpander.h"

#ifdef _WIN32
#include <windows.h>
#endif

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;

namespace {

#ifndef _WIN32
// Malformed UTF-8 and lone surrogates become replacement characters, one per maximal part.
TEST(TextConversionTest, LinuxNarrowTextIsUtf8) {
    const std::pair<std::string, std::u16string> toWide[] = {
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00e4\u20ac\U0001F600"},
        {"a\xC3", u"a\uFFFD"},                                        // cut short at the end
        {"\xC3(b", u"\uFFFD(b"},                                      // missing continuation
        {"\xC0\xAF\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},                      // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},            // beyond U+10FFFF
        {"\xFF\x80z", u"\uFFFD\uFFFDz"},
    };
    for (const auto& [narrow, wide] : toWide) {
        EXPECT_EQ(NarrowToWide(narrow), wide) << narrow;
    }
    EXPECT_EQ(WideToNarrow(u"\u00e4\u20ac\U0001F600"), "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToNarrow(std::u16string{u'a', char16_t(0xDC00), char16_t(0xD800), u'b'}),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(zeph::trace::FormatText(u"<%S>", "\xC3\xA4"), u"<\u00e4>");
    EXPECT_EQ(zeph::trace::FormatText("<%S>", u"\u00e4"), "<\xC3\xA4>");
}

TEST(TextConversionTest, NarrowPrefixEndsBetweenUtf8Characters) {
    const struct {
        const char* text;
        size_t maxBytes;
        size_t expected;
    } cases[] = {
        {"ab", 5, 2},           {"a\xC3\xA4", 2, 1},
        {"a\xC3\xA4", 3, 3},    {"\xF0\x9F\x98\x80", 3, 0},
        {"a\x80\x80", 2, 2},     // stray continuation bytes are characters of their own
        {"\xC3\xA4\x80", 2, 2},  // the lead announces one continuation byte only
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zeph::platform::NarrowPrefixLength(c.text, c.maxBytes), c.expected)
            << c.text << " " << c.maxBytes;
    }
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
