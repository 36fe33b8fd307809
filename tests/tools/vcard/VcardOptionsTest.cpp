#include "VcardOptions.h"

#include <gtest/gtest.h>

#include "Hex.h"

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;
using Outcome = ParsedOptions::Outcome;

TEST(HexTest, ParsesPairsWithOptionalSeparators) {
    EXPECT_EQ(ParseHex("3B bf:96"), (Bytes{0x3B, 0xBF, 0x96}));
    EXPECT_EQ(ParseHex(""), Bytes{});
    EXPECT_FALSE(ParseHex("3B9"));
    EXPECT_FALSE(ParseHex("3 B"));
    EXPECT_FALSE(ParseHex("3G"));
    EXPECT_EQ(ToHex(Bytes{0x00, 0xA4, 0xFF}), "00A4FF");
}

TEST(VcardOptionsTest, DefaultsWithoutArguments) {
    const ParsedOptions parsed = ParseVcardOptions({});
    ASSERT_EQ(parsed.outcome, Outcome::Run);
    EXPECT_EQ(parsed.options.host, "127.0.0.1");
    EXPECT_EQ(parsed.options.port, 35963);
    EXPECT_EQ(parsed.options.otherStatus, 0x6D00);
    EXPECT_EQ(ToHex(parsed.options.atr), "3BBF96008131FE5D00640411000031C073F701D00090007F");
}

TEST(VcardOptionsTest, ReadsEveryOption) {
    const ParsedOptions parsed =
        ParseVcardOptions({"--host", "localhost", "--port", "0x9C40", "--connect-timeout", "250",
                           "--atr", "3B 02 14 50", "--file", "2F02=0102", "--file", "5000=", "--sw",
                           "9000", "--drop-on", "00B0"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.host, "localhost");
    EXPECT_EQ(parsed.options.port, 0x9C40);
    EXPECT_EQ(parsed.options.connectTimeout.count(), 250);
    EXPECT_EQ(parsed.options.atr, (Bytes{0x3B, 0x02, 0x14, 0x50}));
    ASSERT_NE(parsed.options.files.Contents(0x2F02), nullptr);
    EXPECT_EQ(*parsed.options.files.Contents(0x2F02), (Bytes{0x01, 0x02}));
    ASSERT_NE(parsed.options.files.Contents(0x5000), nullptr);
    EXPECT_TRUE(parsed.options.files.Contents(0x5000)->empty());
    EXPECT_EQ(parsed.options.otherStatus, 0x9000);
    EXPECT_EQ(parsed.options.dropOn, (Bytes{0x00, 0xB0}));
}

TEST(VcardOptionsTest, RejectsBadValues) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--port", "0"},
        {"--port", "65536"},
        {"--port", "12ab"},
        {"--atr", "3B"},
        {"--atr", std::string_view("3B0000000000000000000000000000000000000000000000000000000000"
                                   "00000000000000")},
        {"--file", "2F02"},
        {"--file", "2F=01"},
        {"--file", "3F00=01"},
        {"--sw", "90"},
        {"--drop-on", ""},
        {"--connect-timeout", "-1"},
        {"--bogus", "1"},
        {"--port"},
    };
    for (const auto& args : bad) {
        const ParsedOptions parsed = ParseVcardOptions(args);
        EXPECT_EQ(parsed.outcome, Outcome::Error) << args[0];
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(VcardOptionsTest, HelpWins) {
    EXPECT_EQ(ParseVcardOptions({"--port", "1", "--help"}).outcome, Outcome::Help);
}

}  // namespace
}  // namespace vcard
