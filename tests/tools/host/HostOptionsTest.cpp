#include "HostOptions.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Outcome = ParsedHostOptions::Outcome;

TEST(HostOptionsTest, WithoutArgumentsRunsUntilStoppedSendingTheMasterFileSelect) {
    const ParsedHostOptions parsed = ParseHostOptions({});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.modulePath, "");
    EXPECT_EQ(parsed.options.apdus, std::vector<Bytes>{DefaultApdu()});
    EXPECT_EQ(DefaultApdu(), (Bytes{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}));
    EXPECT_FALSE(parsed.options.cycles);
    EXPECT_FALSE(parsed.options.timeout);
    EXPECT_EQ(parsed.options.stateQueries, 3u);
}

TEST(HostOptionsTest, ReadsEveryOptionInBothForms) {
    const ParsedHostOptions parsed = ParseHostOptions(
        {"--module", "/opt/m.so", "--apdu", "00A4000C023F00", "--apdu=00 B0 00 00 04", "--cycles=2",
         "--timeout-ms", "1500", "--state-queries", "0"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.modulePath, "/opt/m.so");
    EXPECT_EQ(parsed.options.apdus, (std::vector<Bytes>{{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00},
                                                        {0x00, 0xB0, 0x00, 0x00, 0x04}}))
        << "given commands replace the default and keep their order";
    EXPECT_EQ(parsed.options.cycles, 2u);
    ASSERT_TRUE(parsed.options.timeout);
    EXPECT_EQ(parsed.options.timeout->count(), 1500);
    EXPECT_EQ(parsed.options.stateQueries, 0u);
}

TEST(HostOptionsTest, TakesTheModuleAlsoAsTheOnePlainArgument) {
    const ParsedHostOptions parsed = ParseHostOptions({"--cycles", "1", "build/m.dll"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.modulePath, "build/m.dll");
    EXPECT_EQ(ParseHostOptions({"a.so", "b.so"}).outcome, Outcome::Error);
    EXPECT_EQ(ParseHostOptions({"--module", "a.so", "b.so"}).outcome, Outcome::Error);
    EXPECT_EQ(ParseHostOptions({"--module="}).outcome, Outcome::Error);
}

TEST(HostOptionsTest, RejectsBadValuesNamingTheOption) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--apdu", "00A4000C023F"},  // Lc does not match the data
        {"--apdu", "zz"},
        {"--apdu"},  // value missing
        {"--cycles", "0"},
        {"--cycles", "-1"},
        {"--cycles", "2x"},
        {"--cycles", ""},
        {"--cycles", "4294967296"},  // beyond 32 bits
        {"--timeout-ms", "0"},
        {"--timeout-ms", "86400001"},  // more than a day
        {"--state-queries", "101"},
        {"--bogus", "1"},
        {"--cycles"},
    };
    for (const auto& args : bad) {
        const ParsedHostOptions parsed = ParseHostOptions(args);
        EXPECT_EQ(parsed.outcome, Outcome::Error) << args[0];
        EXPECT_NE(parsed.error.find(std::string(args[0])), std::string::npos)
            << "error \"" << parsed.error << "\" does not name " << args[0];
    }
}

TEST(HostOptionsTest, AcceptsTheLimitsOfEachNumber) {
    const ParsedHostOptions parsed = ParseHostOptions(
        {"--cycles", "4294967295", "--timeout-ms", "86400000", "--state-queries", "100"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.cycles, 4294967295u);
    EXPECT_EQ(parsed.options.timeout->count(), 86400000);
    EXPECT_EQ(parsed.options.stateQueries, 100u);
}

TEST(HostOptionsTest, HelpWinsOverEverythingElse) {
    EXPECT_EQ(ParseHostOptions({"--cycles", "0", "--help"}).outcome, Outcome::Error)
        << "an error before --help is reported first";
    EXPECT_EQ(ParseHostOptions({"-h", "--cycles", "0"}).outcome, Outcome::Help);
    EXPECT_NE(HostUsage().find("--apdu"), std::string::npos);
}

}  // namespace
