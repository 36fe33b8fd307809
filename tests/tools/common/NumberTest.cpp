#include "Number.h"

#include <gtest/gtest.h>

namespace zeph::tools {
namespace {

TEST(NumberTest, DecimalOnlyOrAlsoHexAfter0x) {
    struct Row {
        const char* text;
        std::optional<uint64_t> decimal;
        std::optional<uint64_t> hexAfter0x;
    };
    const std::optional<uint64_t> none;
    const Row rows[] = {
        {"0", 0, 0},
        {"4294967296", 4294967296u, 4294967296u},
        {"18446744073709551615", UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", none, none},
        {"0x9C40", none, 0x9C40},
        {"0X1f", none, 0x1F},
        {"0x", none, none},
        {"12ab", none, none},
        {"", none, none},
        {"-1", none, none},
        {"+1", none, none},
        {" 1", none, none},
        {"1 ", none, none},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseNumber(row.text), row.decimal) << '"' << row.text << '"';
        EXPECT_EQ(ParseNumber(row.text, true), row.hexAfter0x) << '"' << row.text << '"';
    }
}

}  // namespace
}  // namespace zeph::tools
