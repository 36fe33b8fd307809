#include "HostOptions.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Outcome = ParsedHostOptions::Outcome;

TEST(HostOptionsTest, ReadsEveryOptionInBothFormsUpToItsLimits) {
    const ParsedHostOptions parsed =
        ParseHostOptions({"--apdu", "00A4000C023F00", "--apdu=00 B0 00 00 04",
                          "--cycles=4294967295", "--timeout-ms", "86400000", "--state-queries",
                          "100", "--trace", "info,error", "--dirs", "--no-atr-filter", "m.so"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.modulePath, "m.so");
    EXPECT_TRUE(parsed.options.dirs) << "a flag takes no value";
    EXPECT_FALSE(parsed.options.atrFilter);
    EXPECT_EQ(parsed.options.apdus, (std::vector<Bytes>{{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00},
                                                        {0x00, 0xB0, 0x00, 0x00, 0x04}}))
        << "given commands replace the default and keep their order";
    EXPECT_EQ(parsed.options.cycles, 4294967295u);
    EXPECT_EQ(parsed.options.timeout, std::chrono::milliseconds(86400000));
    EXPECT_EQ(parsed.options.stateQueries, 100u);
    EXPECT_EQ(parsed.options.traceLevels, "info,error");

    const ParsedHostOptions least = ParseHostOptions(
        {"--module", "/opt/m.so", "--cycles", "1", "--timeout-ms=1", "--state-queries=0"});
    ASSERT_EQ(least.outcome, Outcome::Run) << least.error;
    EXPECT_EQ(least.options.modulePath, "/opt/m.so");
    EXPECT_EQ(least.options.apdus, std::vector<Bytes>{DefaultApdu()});
    EXPECT_EQ(least.options.cycles, 1u);
    EXPECT_EQ(least.options.timeout, std::chrono::milliseconds(1));
    EXPECT_EQ(least.options.stateQueries, 0u);
    EXPECT_FALSE(least.options.dirs);
    EXPECT_TRUE(least.options.atrFilter);
    EXPECT_EQ(least.options.traceLevels, "") << "no --trace: the module's trace as configured";
}

TEST(HostOptionsTest, RejectsBadValuesWithTheirText) {
    const std::pair<std::vector<std::string_view>, std::string> rows[] = {
        {{"--apdu", "00A4000C023F"},
         "--apdu 00A4000C023F: Lc 02 announces 2 data bytes, but 1 bytes follow it"},
        {{"--apdu", "zz"}, "--apdu \"zz\" is not hex bytes"},
        {{"--cycles", "0"}, "--cycles wants a number from 1 to 4294967295, not \"0\""},
        {{"--cycles", "-1"}, "--cycles wants a number from 1 to 4294967295, not \"-1\""},
        {{"--cycles", "4294967296"},
         "--cycles wants a number from 1 to 4294967295, not \"4294967296\""},
        {{"--timeout-ms", "86400001"},
         "--timeout-ms wants a number from 1 to 86400000, not \"86400001\""},
        {{"--state-queries", "101"}, "--state-queries wants a number from 0 to 100, not \"101\""},
        {{"a.so", "b.so"}, "more than one module given"},
        {{"--module", "a.so", "b.so"}, "more than one module given"},
        {{"--module="}, "the module path is empty"},
        {{"--trace="}, "--trace wants trace levels, e.g. info,error"},
    };
    for (const auto& [args, error] : rows) {
        const ParsedHostOptions parsed = ParseHostOptions(args);
        EXPECT_EQ(parsed.outcome, Outcome::Error) << args[0];
        EXPECT_EQ(parsed.error, error);
    }
}

}  // namespace
