// The conversion of trace texts to ISO 8859-1: a text with any other character becomes empty.
#include "tracing/Latin1.h"

#include <gtest/gtest.h>

#include <string>

using zeph::trace::kMaxTraceTextChars;
using zeph::trace::Latin1Writer;
using zeph::trace::ToLatin1;

namespace {

TEST(Latin1Test, KeepsUnitsUpToFFAndEmptiesTextsWithAnyOtherWithinTheLimit) {
    EXPECT_EQ(ToLatin1(u"Gr\u00f6\u00dfe \u00e4\u00fc \u00ff", 100),
              "Gr\xF6\xDF"
              "e \xE4\xFC \xFF");
    EXPECT_EQ(ToLatin1(u"Preis 5 \u20ac", 100), "");
    EXPECT_EQ(ToLatin1(u"\u0100", 100), "");
    EXPECT_EQ(ToLatin1(static_cast<const char16_t*>(nullptr), 3), "");
    // The text is cut before it is converted: a character beyond the cut does not matter.
    const std::u16string euroBeyondCut = std::u16string(kMaxTraceTextChars, u'a') + u"\u20ac";
    EXPECT_EQ(ToLatin1(euroBeyondCut.c_str(), kMaxTraceTextChars).size(), kMaxTraceTextChars);
    const std::u16string euroAtCut = std::u16string(kMaxTraceTextChars - 1, u'a') + u"\u20ac";
    EXPECT_EQ(ToLatin1(euroAtCut.c_str(), kMaxTraceTextChars), "");
}

TEST(Latin1Test, BufferFormAndWriterTerminateAndCollectUpToTheirLimit) {
    char buffer[8] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(ToLatin1(u"abcdef", buffer, 3), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(ToLatin1(static_cast<const char16_t*>(nullptr), buffer, 3), 0u);
    EXPECT_STREQ(buffer, "");

    Latin1Writer writer(buffer, 7);
    writer.Append(u"ab");
    writer.AppendRepeated(u' ', 2);
    writer.Append(u"\u00e4xyz");
    writer.AppendRepeated(u'\u20ac', 3);  // beyond the limit: ignored
    EXPECT_EQ(writer.Finish(), 7u);
    EXPECT_STREQ(buffer, "ab  \xE4xy");

    Latin1Writer rejecting(buffer, 7);
    rejecting.Append(u"ab");
    rejecting.AppendRepeated(u'\u20ac', 1);
    rejecting.Append(u"cd");
    EXPECT_EQ(rejecting.Finish(), 0u);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
