// The host tool's part that needs no module: the command APDUs it takes from its command line.
// Loading the module and stopping a run (the last cycle, a time limit) are what the real-stack host
// tests see of the tool.
#include <gtest/gtest.h>

#include "ApduHex.h"

namespace {

// Every shape of a command APDU, short and extended, is sent; one whose lengths do not match
// is refused before it reaches the card.
TEST(ApduHexTest, AcceptsEachShapeOfACommandAndRefusesMismatchedLengths) {
    const char* const valid[] = {
        "00A4000C",         "00A4000C00",     "00A4000C01",         "00A4000C023F00",
        "00A4000C023F0000", "00A4000C000100", "00A4000C0000023F00", "00A4000C0000023F000000"};
    const char* const invalid[] = {
        "00A400",           "00A4000C023F",     "00A4000C023F000000",   "00A4000C0001",
        "00A4000C0000003F", "00A4000C0000023F", "00A4000C0000023F0000", "00  A4000C"};
    for (const bool accepted : {true, false}) {
        for (const char* text : accepted ? std::span(valid) : std::span(invalid)) {
            std::string error;
            EXPECT_EQ(ParseApdu(text, error).has_value(), accepted) << text;
            EXPECT_EQ(error.empty(), accepted) << text << ": " << error;
        }
    }
    std::string error;
    EXPECT_EQ(ParseApdu("00 a4 00 0c-02:3f 00", error),
              (std::vector<uint8_t>{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}));
}

}  // namespace
