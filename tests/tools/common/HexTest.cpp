#include "Hex.h"

#include <gtest/gtest.h>

namespace zeph::tools {
namespace {

using Bytes = std::vector<uint8_t>;
const std::optional<Bytes> kNone;

// Each text as the host's rule (one separator between pairs) and the card's rule (any number
// of spaces and colons around the pairs) read it.
TEST(HexTest, ReadsPairsSeparatedAsEachRuleAllows) {
    struct Row {
        const char* text;
        std::optional<Bytes> oneBetweenPairs;
        std::optional<Bytes> anyBetweenPairs;
    };
    const Bytes select{0x00, 0xA4, 0x00, 0x0C};
    const Row rows[] = {
        {"00a4000C", select, select},
        {"00 A4:00-0c", select, kNone},  // a dash only in the host's rule
        {"00 A4:00 0c", select, select},
        {"ff", Bytes{0xFF}, Bytes{0xFF}},
        {"", kNone, Bytes{}},
        {" ", kNone, Bytes{}},
        {" 00", kNone, Bytes{0x00}},
        {"00 ", kNone, Bytes{0x00}},
        {":00", kNone, Bytes{0x00}},
        {"00  A4", kNone, (Bytes{0x00, 0xA4})},
        {"00 :A4", kNone, (Bytes{0x00, 0xA4})},
        {"0", kNone, kNone},
        {"00A", kNone, kNone},
        {"0 0", kNone, kNone},
        {"0G", kNone, kNone},
        {"00,A4", kNone, kNone},
        {"0x00", kNone, kNone},
        {"00\n", kNone, kNone},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseHex(row.text, HexSeparators::OneBetweenPairs), row.oneBetweenPairs)
            << '"' << row.text << '"';
        EXPECT_EQ(ParseHex(row.text, HexSeparators::AnyBetweenPairs), row.anyBetweenPairs)
            << '"' << row.text << '"';
    }
}

TEST(HexTest, WritesUpperCaseWithoutSeparatorsAndReadsItBack) {
    const Bytes bytes{0x00, 0x0F, 0xA4, 0xFF};
    EXPECT_EQ(ToHex(bytes), "000FA4FF");
    EXPECT_EQ(ParseHex(ToHex(bytes), HexSeparators::OneBetweenPairs), bytes);
    EXPECT_EQ(ToHex(Bytes{}), "");
}

}  // namespace
}  // namespace zeph::tools
