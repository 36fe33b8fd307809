#include "VcardOptions.h"

#include <gtest/gtest.h>

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;
using Outcome = ParsedOptions::Outcome;

TEST(VcardOptionsTest, ReadsEveryOption) {
    const ParsedOptions parsed =
        ParseVcardOptions({"--host", "localhost",    "--port",      "0x9C40",   "--connect-timeout",
                           "250",    "--atr",        "3B 02 14 50", "--file",   "2F02=0102",
                           "--file", "5000=",        "--sw",        "9000",     "--drop-on",
                           "00B0",   "--drop-after", "3",           "--silent", "--answer-delay",
                           "40"});
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
    EXPECT_EQ(parsed.options.dropAfter, 3u);
    EXPECT_TRUE(parsed.options.silent);
    EXPECT_EQ(parsed.options.answerDelay.count(), 40);
}

TEST(VcardOptionsTest, RejectsBadValuesWithTheirText) {
    const std::string tooLongAtr(68, '0');
    const std::pair<std::vector<std::string_view>, std::string> rows[] = {
        {{"--host", ""}, "empty host"},
        {{"--port", "0"}, "bad port 0"},
        {{"--port", "65536"}, "bad port 65536"},
        {{"--port", "12ab"}, "bad port 12ab"},
        {{"--connect-timeout", "-1"}, "bad timeout -1"},
        {{"--atr", "3B"}, "bad ATR (2 to 33 bytes of hex) 3B"},
        {{"--atr", tooLongAtr}, "bad ATR (2 to 33 bytes of hex) " + tooLongAtr},
        {{"--file", "2F02"}, "bad file (FID=HEX, at most 65535 bytes) 2F02"},
        {{"--file", "2F=01"}, "bad file (FID=HEX, at most 65535 bytes) 2F=01"},
        {{"--file", "3F00=01"}, "the master file 3F00 holds no data"},
        {{"--sw", "90"}, "bad status word 90"},
        {{"--drop-on", ""}, "bad command prefix "},
        {{"--drop-after", "0"}, "bad command count 0"},
        {{"--answer-delay", "1s"}, "bad delay 1s"},
    };
    for (const auto& [args, error] : rows) {
        const ParsedOptions parsed = ParseVcardOptions(args);
        EXPECT_EQ(parsed.outcome, Outcome::Error) << args[0];
        EXPECT_EQ(parsed.error, error);
    }
}

}  // namespace
}  // namespace vcard
