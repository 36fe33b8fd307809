#include "ApduHex.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ApduHexTest, ShowsTextOnlyWhenEveryByteIsPrintable) {
    EXPECT_EQ(PrintableText(Bytes{'H', 'i', ' ', '~'}), "Hi ~");
    for (const int bad : {0x00, 0x1F, 0x7F, 0xE9}) {
        EXPECT_EQ(PrintableText(Bytes{'H', static_cast<uint8_t>(bad)}), "") << bad;
    }
}

// Every shape of a command APDU, short and extended, and the lengths that do not match.
TEST(ApduHexTest, AcceptsEachShapeAndNamesWhatIsWrongWithOthers) {
    Bytes lcOf256{0x00, 0xD6, 0x00, 0x00, 0x00, 0x01, 0x00};
    lcOf256.resize(lcOf256.size() + 256, 0x5A);
    const Bytes header{0x00, 0xA4, 0x00, 0x0C};
    const auto with = [&header](Bytes body) {
        body.insert(body.begin(), header.begin(), header.end());
        return body;
    };
    const std::pair<Bytes, std::string> rows[] = {
        {header, ""},
        {with({0x00}), ""},  // Le 00: 256 bytes
        {with({0x01}), ""},  // Le, never an Lc without data
        {with({0x02, 0x3F, 0x00}), ""},
        {with({0x02, 0x3F, 0x00, 0x00}), ""},
        {with({0x00, 0x01, 0x00}), ""},  // extended Le
        {with({0x00, 0x00, 0x02, 0x3F, 0x00}), ""},
        {with({0x00, 0x00, 0x02, 0x3F, 0x00, 0x00, 0x00}), ""},
        {lcOf256, ""},
        {Bytes{0x00, 0xA4, 0x00}, "a command needs at least the four header bytes CLA INS P1 P2"},
        {with({0x02, 0x3F}), "Lc 02 announces 2 data bytes, but 1 bytes follow it"},
        {with({0x02, 0x3F, 0x00, 0x00, 0x00}),
         "Lc 02 announces 2 data bytes, but 4 bytes follow it"},
        {with({0x00, 0x01}), "an extended length needs two bytes after its leading 00"},
        {with({0x00, 0x00, 0x00, 0x3F}), "extended Lc is 0000 but data follows"},
        {with({0x00, 0x00, 0x02, 0x3F}),
         "extended Lc announces 2 data bytes, but 1 bytes follow it"},
        {with({0x00, 0x00, 0x02, 0x3F, 0x00, 0x00}),
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
