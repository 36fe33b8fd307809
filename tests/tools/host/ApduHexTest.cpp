#include "ApduHex.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(HexBytesTest, ReadsPairsInEitherCaseWithSeparatorsBetweenThem) {
    EXPECT_EQ(ParseHexBytes("00a4000C"), (Bytes{0x00, 0xA4, 0x00, 0x0C}));
    EXPECT_EQ(ParseHexBytes("00 A4:00-0c"), (Bytes{0x00, 0xA4, 0x00, 0x0C}));
    EXPECT_EQ(ParseHexBytes("ff"), Bytes{0xFF});
}

TEST(HexBytesTest, RejectsEverythingElse) {
    for (const char* text : {"", " ", "0", "00A", "0 0", "00  A4", " 00", "00 ", ":00", "0G",
                             "00,A4", "0x00", "00\n"}) {
        EXPECT_FALSE(ParseHexBytes(text)) << '"' << text << '"';
    }
}

TEST(HexBytesTest, WritesUpperCaseWithoutSeparatorsAndReadsItBack) {
    const Bytes bytes{0x00, 0x0F, 0xA4, 0xFF};
    EXPECT_EQ(ToHex(bytes), "000FA4FF");
    EXPECT_EQ(ParseHexBytes(ToHex(bytes)), bytes);
    EXPECT_EQ(ToHex(Bytes{}), "");
}

TEST(HexBytesTest, ShowsTextOnlyWhenEveryByteIsPrintable) {
    EXPECT_EQ(PrintableText(Bytes{'H', 'i', ' ', '~'}), "Hi ~");
    EXPECT_EQ(PrintableText(Bytes{'H', 0x00}), "");
    EXPECT_EQ(PrintableText(Bytes{'H', 0x7F}), "");
    EXPECT_EQ(PrintableText(Bytes{'H', 0xE9}), "");
}

TEST(ApduShapeTest, AcceptsEachShortCase) {
    for (const char* text : {"00A4000C",            // header alone
                             "00B0000000",          // Le
                             "00A4000C023F00",      // Lc and data
                             "00A4000002 3F00 00",  // Lc, data and Le
                             "00B00000FF"}) {       // Le 255
        std::string error;
        EXPECT_TRUE(ParseApdu(text, error)) << text << ": " << error;
    }
}

TEST(ApduShapeTest, AcceptsEachExtendedCase) {
    Bytes lcOf256{0x00, 0xD6, 0x00, 0x00, 0x00, 0x01, 0x00};
    lcOf256.resize(lcOf256.size() + 256, 0x5A);
    for (const Bytes& apdu : {Bytes{0x00, 0xB0, 0x00, 0x00, 0x00, 0x01, 0x00},  // Le
                              Bytes{0x00, 0xA4, 0x00, 0x0C, 0x00, 0x00, 0x02, 0x3F, 0x00},
                              Bytes{0x00, 0xA4, 0x00, 0x00, 0x00, 0x00, 0x02, 0x3F, 0x00, 0x00,
                                    0x00},  // Lc, data and Le
                              lcOf256}) {
        EXPECT_EQ(ApduShapeError(apdu), "") << ToHex(apdu);
    }
}

TEST(ApduShapeTest, RejectsLengthsThatDoNotMatchTheData) {
    for (const char* text : {"00A400",                 // header cut short
                             "00A4000C023F",           // Lc 2 with one data byte
                             "00A4000C023F000000"}) {  // two bytes too many behind the data
        std::string error;
        EXPECT_FALSE(ParseApdu(text, error)) << text;
        EXPECT_NE(error, "") << text;
    }
    EXPECT_NE(ApduShapeError(Bytes{0x00, 0xB0, 0x00, 0x00, 0x00, 0x01}), "")
        << "extended length cut short";
    EXPECT_NE(ApduShapeError(Bytes{0x00, 0xA4, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x3F}), "")
        << "extended Lc of zero with data";
    EXPECT_NE(ApduShapeError(Bytes{0x00, 0xA4, 0x00, 0x0C, 0x00, 0x00, 0x02, 0x3F}), "")
        << "extended Lc 2 with one data byte";
    EXPECT_NE(ApduShapeError(Bytes{0x00, 0xA4, 0x00, 0x0C, 0x00, 0x00, 0x02, 0x3F, 0x00, 0x00}), "")
        << "extended Le of one byte";
}

TEST(ApduShapeTest, FiveBytesAreAlwaysHeaderAndLe) {
    // 01 cannot be an Lc without data behind it: the command asks for one byte.
    EXPECT_EQ(ApduShapeError(Bytes{0x00, 0xA4, 0x00, 0x0C, 0x01}), "");
    EXPECT_EQ(ApduShapeError(Bytes{0x00, 0xB0, 0x00, 0x00, 0x00}), "") << "Le 00: 256 bytes";
}

TEST(ApduShapeTest, ErrorNamesTheCommandAndWhatIsWrong) {
    std::string error;
    EXPECT_FALSE(ParseApdu("00 a4 00 0c 02 3f", error));
    EXPECT_EQ(error, "00A4000C023F: Lc 02 announces 2 data bytes, but 1 bytes follow it");
    EXPECT_FALSE(ParseApdu("select", error));
    EXPECT_EQ(error, "\"select\" is not hex bytes");
}

}  // namespace
