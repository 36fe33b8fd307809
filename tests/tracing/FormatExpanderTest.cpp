// The printf-style expansion of trace texts, as the Windows printf does it, wide and narrow; and
// on Linux the platform's narrow texts beneath it, UTF-8.
#include "tracing/FormatExpander.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/TextConversion.h"

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;
using zeph::trace::FormatText;

namespace {

const char16_t* const kNullWide = nullptr;
const char* const kNullNarrow = nullptr;

TEST(FormatExpanderTest, WideFormats) {
    const std::u16string_view unterminated = std::u16string_view(u"viewed!").substr(0, 6);
    EXPECT_EQ(FormatText(u"%d|%i|%u|%x|%X", -42, 7, 42u, 0xBEEFu, 0xBEEFu), u"-42|7|42|beef|BEEF");
    EXPECT_EQ(FormatText(u"[%5d][%05d][%.3d][%.0d]", 42, -42, 5, 0), u"[   42][-0042][005][]");
    // 32-bit arguments are reinterpreted as printf does.
    EXPECT_EQ(FormatText(u"%d %u %x", 0xFFFFFFFFu, -1, -1), u"-1 4294967295 ffffffff");
    EXPECT_EQ(FormatText(u"%0.3f|%.3f|%f", 2.5, 1.2346, 1.5), u"2.500|1.235|1.500000");
    // Lower-case s takes text of the format's width.
    EXPECT_EQ(FormatText(u"%s::%S <%s> <%s>", u"CZephExtensionPcSc::Transmit", "narrow",
                         std::u16string(u"owned"), unterminated),
              u"CZephExtensionPcSc::Transmit::narrow <owned> <viewed>");
    EXPECT_EQ(FormatText(u"[%6s][%.3s][%s][%S]", u"ab", u"abcdef", kNullWide, kNullNarrow),
              u"[    ab][abc][(null)][(null)]");
    // A precision cuts texts between characters.
    EXPECT_EQ(FormatText(u"[%.1s][%.2s][%.3s]", u"\U0001F600x", u"\U0001F600x", u"\U0001F600x"),
              u"[][\U0001F600][\U0001F600x]");
    EXPECT_EQ(FormatText(u"100%% of %d", 3, u"unused", 4.0), u"100% of 3");
}

TEST(FormatExpanderTest, NarrowFormats) {
    const std::string oneUmlaut = WideToNarrow(u"\u00e4");
    EXPECT_EQ(FormatText("%s: <%S> = \"%s\"", "CDB_GetLogDir", u"LogPfad", std::string("C:\\")),
              "CDB_GetLogDir: <LogPfad> = \"C:\\\"");
    EXPECT_EQ(FormatText("[%.0S][%.3S]", u"\u00e4", u"abcd"), "[][abc]");
    EXPECT_EQ(FormatText(("[%." + std::to_string(oneUmlaut.size()) + "S]").c_str(), u"\u00e4b"),
              "[" + oneUmlaut + "]");
    EXPECT_EQ(FormatText("%s", u"wide"), "");
    EXPECT_EQ(FormatText("%S", "narrow"), "");
}

// An invalid format, or an argument of the wrong type for its conversion, gives an empty text.
TEST(FormatExpanderTest, InvalidFormatsGiveAnEmptyText) {
    for (const std::u16string& text :
         {FormatText(u"%d", int64_t{1}), FormatText(u"%.3f", 1), FormatText(u"%s", "narrow"),
          FormatText(u"%wd", 1), FormatText(u"before %q after", 1), FormatText(u"%+d", 1),
          FormatText(u"%d and %d", 1), FormatText(u"%s", 42), FormatText(u"%999999d", 1),
          FormatText(u"%.65f", 1.0), FormatText(u"trailing %"),
          FormatText(static_cast<const char16_t*>(nullptr))}) {
        EXPECT_EQ(text, u"");
    }
}

#ifndef _WIN32
// Malformed UTF-8 and lone surrogates become replacement characters, one per maximal subpart of an
// ill-formed sequence.
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
#endif

}  // namespace
