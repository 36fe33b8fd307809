#include "tracing/FormatExpander.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/TextConversion.h"

using zeph::trace::FormatArgument;
using zeph::trace::FormatText;

namespace {

struct Opaque {};
enum class ScopedEnum { Value };

// Only the supported argument types compile; everything else is rejected at the call site.
static_assert(FormatArgument<const char16_t*> && FormatArgument<std::u16string> &&
              FormatArgument<std::u16string_view> && FormatArgument<const char*> &&
              FormatArgument<std::string> && FormatArgument<uint32_t> && FormatArgument<int64_t> &&
              FormatArgument<bool> && FormatArgument<double>);
static_assert(!FormatArgument<Opaque*> && !FormatArgument<const void*> &&
              !FormatArgument<std::nullptr_t> && !FormatArgument<Opaque> &&
              !FormatArgument<ScopedEnum> && !FormatArgument<const char32_t*>);

TEST(FormatExpanderTest, IntegerConversions) {
    EXPECT_EQ(FormatText(u"%d|%i|%u|%x|%X", -42, 7, 42u, 0xBEEFu, 0xBEEFu), u"-42|7|42|beef|BEEF");
    EXPECT_EQ(FormatText(u"<0x%08x> %02d.%03d.%04d", 0x1Au, 5, 7, 2024),
              u"<0x0000001a> 05.007.2024");
    EXPECT_EQ(FormatText(u"[%5d][%05d][%.3d][%.0d]", 42, -42, 5, 0), u"[   42][-0042][005][]");
    EXPECT_EQ(FormatText(u"%d %d", INT32_MIN, INT32_MAX), u"-2147483648 2147483647");
}

TEST(FormatExpanderTest, ThirtyTwoBitArgumentsAreReinterpretedAsPrintfDoes) {
    EXPECT_EQ(FormatText(u"%d %u %x", 0xFFFFFFFFu, -1, -1), u"-1 4294967295 ffffffff");
    EXPECT_EQ(FormatText(u"%d %d %d", true, static_cast<uint16_t>(65535), 'A'), u"1 65535 65");
}

TEST(FormatExpanderTest, SixtyFourBitArgumentsNeedTheLongLongForms) {
    EXPECT_EQ(FormatText(u"%d", int64_t{1}), u"");
    EXPECT_EQ(FormatText(u"%x", uint64_t{1}), u"");
    EXPECT_EQ(FormatText(u"%lld %llu %llx", INT64_MIN, UINT64_MAX, uint64_t{0xABCDEF0123}),
              u"-9223372036854775808 18446744073709551615 abcdef0123");
    EXPECT_EQ(FormatText(u"%lld %llu", -7, 7u), u"-7 7");
}

TEST(FormatExpanderTest, FixedPointDoubles) {
    EXPECT_EQ(FormatText(u"%0.3f|%.3f|%f", 2.5, 1.2346, 1.5), u"2.500|1.235|1.500000");
    EXPECT_EQ(FormatText(u"[%08.2f][%7.1f]", -3.14159, 0.75f), u"[-0003.14][    0.8]");
    EXPECT_EQ(FormatText(u"%.3f", 1), u"");
}

TEST(FormatExpanderTest, WideFormatTakesWideTextForLowerCaseS) {
    const std::u16string owned = u"owned";
    const std::u16string_view unterminated = std::u16string_view(u"viewed!").substr(0, 6);
    EXPECT_EQ(FormatText(u"%s::%S <%s> <%s>", u"CZephExtensionPcSc::Transmit", "narrow", owned,
                         unterminated),
              u"CZephExtensionPcSc::Transmit::narrow <owned> <viewed>");
    EXPECT_EQ(FormatText(u"%s", "narrow"), u"");
    EXPECT_EQ(FormatText(u"%S", u"wide"), u"");
}

TEST(FormatExpanderTest, NarrowFormatTakesNarrowTextForLowerCaseS) {
    EXPECT_EQ(FormatText("%s: <%S> = \"%s\"", "CDB_GetLogDir", u"LogPfad", std::string("C:\\")),
              "CDB_GetLogDir: <LogPfad> = \"C:\\\"");
    EXPECT_EQ(FormatText("%s", u"wide"), "");
    EXPECT_EQ(FormatText("%S", "narrow"), "");
}

TEST(FormatExpanderTest, TextWidthPrecisionAndNullPointers) {
    const char16_t* nullWide = nullptr;
    const char* nullNarrow = nullptr;
    EXPECT_EQ(FormatText(u"[%6s][%.3s][%s][%S]", u"ab", u"abcdef", nullWide, nullNarrow),
              u"[    ab][abc][(null)][(null)]");
    EXPECT_EQ(FormatText("[%s][%S]", nullNarrow, nullWide), "[(null)][(null)]");
    EXPECT_EQ(FormatText(u"[%c][%3c]", u'\u00e4', 'x'), u"[\u00e4][  x]");
}

TEST(FormatExpanderTest, WindowsLengthModifiersNameTheArgumentWidth) {
    EXPECT_EQ(FormatText(u"[%hs|%ls|%ws|%hS|%lS|%wS]", "n", u"w", u"w", "N", u"W", u"W"),
              u"[n|w|w|N|W|W]");
    EXPECT_EQ(FormatText("[%hs|%ls|%ws|%hS|%lS]", "n", u"w", u"w", "N", u"W"), "[n|w|w|N|W]");
    EXPECT_EQ(FormatText(u"%ld %lu %lx %li", -5, 0xFFFFFFFFu, 0xDEADBEEFu, -1),
              u"-5 4294967295 deadbeef -1");
    EXPECT_EQ(FormatText(u"%hd %hu %hx %hd", 70000, 70000, 0x12345u, -1), u"4464 4464 2345 -1");
    EXPECT_EQ(FormatText(u"[%hc][%lc][%wc][%lf]", 'z', u'\u00e4', u'w', 1.5),
              u"[z][\u00e4][w][1.500000]");
    EXPECT_EQ(FormatText("[%hc][%lc]", 'z', u'w'), "[z][w]");
}

TEST(FormatExpanderTest, LengthModifiersKeepTheTypeCheck) {
    EXPECT_EQ(FormatText(u"%hs", u"wide"), u"");
    EXPECT_EQ(FormatText(u"%ls", "narrow"), u"");
    EXPECT_EQ(FormatText(u"%ws", "narrow"), u"");
    EXPECT_EQ(FormatText(u"%ld", int64_t{1}), u"");  // a Windows long has 32 bits
    EXPECT_EQ(FormatText(u"%hd", uint64_t{1}), u"");
    EXPECT_EQ(FormatText(u"%wd", 1), u"");
    EXPECT_EQ(FormatText(u"%hf", 1.0), u"");
    EXPECT_EQ(FormatText(u"%lc", u"text"), u"");
}

TEST(FormatExpanderTest, FlagsAndWidthsAsTheWindowsPrintf) {
    EXPECT_EQ(FormatText(u"[%-5d][%-05d][%-8.3x][%-3d]", 42, -42, 0x2Au, 12345),
              u"[42   ][-42  ][02a     ][12345]");
    EXPECT_EQ(FormatText(u"[%05s][%-05s][%05S][%05c][%05.1s][%-5c]", u"ab", u"ab", "ab", u'a',
                         u"xyz", u'q'),
              u"[000ab][ab   ][000ab][0000a][0000x][q    ]");
    EXPECT_EQ(FormatText(u"[%5%][%-5%][%05%] %d", 7), u"[%][%][%] 7");
    EXPECT_EQ(FormatText("[%-4s][%04s][%-6.2f]", "ab", "cd", 1.0), "[ab  ][00cd][1.00  ]");
}

TEST(FormatExpanderTest, PrecisionCutsTextsBetweenCharacters) {
    const std::string narrowUmlauts = zeph::platform::WideToNarrow(u"\u00e4\u00f6\u00fc");
    EXPECT_EQ(FormatText(u"[%.1S][%.2S]", narrowUmlauts, narrowUmlauts.c_str()),
              u"[\u00e4][\u00e4\u00f6]");
    EXPECT_EQ(FormatText(u"[%.1s][%.2s][%.3s]", u"\U0001F600x", u"\U0001F600x", u"\U0001F600x"),
              u"[][\U0001F600][\U0001F600x]");
    EXPECT_EQ(FormatText("[%.0S][%.3S]", u"\u00e4", u"abcd"), "[][abc]");
    const std::string oneUmlaut = zeph::platform::WideToNarrow(u"\u00e4");
    EXPECT_EQ(FormatText(("[%." + std::to_string(oneUmlaut.size()) + "S]").c_str(), u"\u00e4b"),
              "[" + oneUmlaut + "]");
}

TEST(FormatExpanderTest, PercentSignsAndLeftoverArguments) {
    EXPECT_EQ(FormatText(u"100%% of %d", 3, u"unused", 4.0), u"100% of 3");
    EXPECT_EQ(FormatText(u"no specifiers"), u"no specifiers");
}

TEST(FormatExpanderTest, InvalidFormatsGiveAnEmptyText) {
    EXPECT_EQ(FormatText(u"before %q after", 1), u"");  // unknown conversion
    EXPECT_EQ(FormatText(u"%p", 1), u"");               // pointers are not supported
    EXPECT_EQ(FormatText(u"%+d", 1), u"");              // unsupported flag
    EXPECT_EQ(FormatText(u"%d and %d", 1), u"");        // arguments run out
    EXPECT_EQ(FormatText(u"%d", u"text"), u"");         // text for an integer
    EXPECT_EQ(FormatText(u"%s", 42), u"");              // integer for a text
    EXPECT_EQ(FormatText(u"%c", 2.0), u"");             // double for a character
    EXPECT_EQ(FormatText(u"%lls", u"text"), u"");       // "ll" on a text
    EXPECT_EQ(FormatText(u"%999999d", 1), u"");         // width beyond the limit
    EXPECT_EQ(FormatText(u"%.65f", 1.0), u"");          // precision beyond the limit
    EXPECT_EQ(FormatText(u"trailing %"), u"");          // a lone percent sign at the end
    EXPECT_EQ(FormatText(static_cast<const char16_t*>(nullptr)), u"");
}

}  // namespace
