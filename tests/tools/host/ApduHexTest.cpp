#include "ApduHex.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const char* text) {
    return zeph::tools::ParseHex(text, zeph::tools::HexSeparators::AnyBetweenPairs).value();
}

TEST(ApduHexTest, ShowsTextOnlyWhenEveryByteIsPrintable) {
    EXPECT_EQ(PrintableText(Bytes{'H', 'i', ' ', '~'}), "Hi ~");
    for (const int bad : {0x00, 0x1F, 0x7F, 0xE9}) {
        EXPECT_EQ(PrintableText(Bytes{'H', static_cast<uint8_t>(bad)}), "") << bad;
    }
}

// Every shape of a command APDU, short and extended, and the lengths that do not match.
TEST(ApduHexTest, AcceptsEachShapeAndNamesWhatIsWrongWithOthers) {
    Bytes lcOf256 = Hex("00D60000 000100");
    lcOf256.resize(lcOf256.size() + 256, 0x5A);
    const std::pair<Bytes, std::string> rows[] = {
        {Hex("00A4000C"), ""},
        {Hex("00A4000C 00"), ""},  // Le 00: 256 bytes
        {Hex("00A4000C 01"), ""},  // Le, never an Lc without data
        {Hex("00A4000C 02 3F00"), ""},
        {Hex("00A4000C 02 3F00 00"), ""},
        {Hex("00A4000C 000100"), ""},  // extended Le
        {Hex("00A4000C 000002 3F00"), ""},
        {Hex("00A4000C 000002 3F00 0000"), ""},
        {lcOf256, ""},
        {Hex("00A400"), "a command needs at least the four header bytes CLA INS P1 P2"},
        {Hex("00A4000C 02 3F"), "Lc 02 announces 2 data bytes, but 1 bytes follow it"},
        {Hex("00A4000C 02 3F000000"), "Lc 02 announces 2 data bytes, but 4 bytes follow it"},
        {Hex("00A4000C 0001"), "an extended length needs two bytes after its leading 00"},
        {Hex("00A4000C 000000 3F"), "extended Lc is 0000 but data follows"},
        {Hex("00A4000C 000002 3F"), "extended Lc announces 2 data bytes, but 1 bytes follow it"},
        {Hex("00A4000C 000002 3F0000"),
         "extended Lc announces 2 data bytes, but 3 bytes follow it"},
    };
    for (const auto& [apdu, error] : rows) {
        EXPECT_EQ(ApduShapeError(apdu), error) << ToHex(apdu);
    }
}

TEST(ApduHexTest, ParseErrorNamesTheCommandAndWhatIsWrong) {
    std::string error;
    EXPECT_EQ(ParseApdu("00 a4 00 0c-02:3f 00", error),
              (Bytes{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(ParseApdu("00 a4 00 0c 02 3f", error));
    EXPECT_EQ(error, "00A4000C023F: Lc 02 announces 2 data bytes, but 1 bytes follow it");
    EXPECT_FALSE(ParseApdu("00  A4000C", error));
    EXPECT_EQ(error, "\"00  A4000C\" is not hex bytes");
}

}  // namespace
