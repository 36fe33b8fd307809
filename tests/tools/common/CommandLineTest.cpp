#include "CommandLine.h"

#include <gtest/gtest.h>

namespace zeph::tools {
namespace {

using Outcome = CommandLineOutcome;

// The values each option took, in order, as "name=value;".
struct Walk {
    Outcome outcome;
    std::string error;
    std::string taken;
};

Walk WalkOver(const std::vector<std::string_view>& args, bool hostRules) {
    Walk walk{};
    const auto take = [&walk](std::string name) {
        return [&walk, name](std::string_view value) {
            walk.taken += name + "=" + std::string(value) + ";";
            return std::string();
        };
    };
    OptionTable table;
    table.options = {{"--a", take("a")}, {"--b", [](std::string_view value) {
                                              return "b refuses " + std::string(value);
                                          }}};
    if (hostRules) {
        table.valueAfterEquals = true;
        table.operand = take("operand");
    }
    walk.outcome = ParseCommandLine(args, table, walk.error);
    return walk;
}

TEST(CommandLineTest, WalksOptionsUntilHelpOrTheFirstError) {
    struct Row {
        std::vector<std::string_view> args;
        bool hostRules;  // "--name=value" and operands
        Outcome outcome;
        std::string error;
        std::string taken;
    };
    const Row rows[] = {
        {{}, false, Outcome::Run, "", ""},
        {{"--a", "1", "--a", ""}, false, Outcome::Run, "", "a=1;a=;"},
        {{"--a", "--help"}, false, Outcome::Run, "", "a=--help;"},
        {{"--a=1"}, false, Outcome::Error, "missing value after --a=1", ""},
        {{"--a=1", "2"}, false, Outcome::Error, "unknown option --a=1", ""},
        {{"file", "2"}, false, Outcome::Error, "unknown option file", ""},
        {{"--a=1", "--a="}, true, Outcome::Run, "", "a=1;a=;"},
        {{"m.so", "--a", "2", "x=y"}, true, Outcome::Run, "", "operand=m.so;a=2;operand=x=y;"},
        {{"--c=1"}, true, Outcome::Error, "unknown option --c", ""},
        {{"--help=1"}, true, Outcome::Error, "unknown option --help", ""},
        {{"--a"}, true, Outcome::Error, "missing value after --a", ""},
        {{"--b", "v", "--a", "1"}, false, Outcome::Error, "b refuses v", ""},
        {{"--b=v", "--help"}, true, Outcome::Error, "b refuses v", ""},
        {{"--a", "1", "--help", "--b", "v"}, false, Outcome::Help, "", "a=1;"},
        {{"-h", "--b", "v"}, true, Outcome::Help, "", ""},
    };
    for (const Row& row : rows) {
        const Walk walk = WalkOver(row.args, row.hostRules);
        SCOPED_TRACE(::testing::PrintToString(row.args));
        EXPECT_EQ(walk.outcome, row.outcome);
        EXPECT_EQ(walk.error, row.error);
        EXPECT_EQ(walk.taken, row.taken);
    }
}

}  // namespace
}  // namespace zeph::tools
