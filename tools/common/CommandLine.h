// The walk over a tool's command line: options with a value each, help, version and the first
// error.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::tools {

// Takes an option's value: empty when taken, otherwise the error text.
using ValueHandler = std::function<std::string(std::string_view value)>;

struct OptionTable {
    // By name, e.g. "--port".
    std::map<std::string_view, ValueHandler> options;
    // Options without a value, by name, e.g. "--dirs".
    std::map<std::string_view, std::function<void()>> flags;
    // "--name=value" as well as "--name value".
    bool valueAfterEquals = false;
    // Takes an argument that does not start with "--"; none: such an argument names an option.
    ValueHandler operand;
};

enum class CommandLineOutcome { Run, Help, Version, Error };

// Walks the arguments after the program name in order. "--help" or "-h" where an option is due
// ends the walk with Help, "--version" with Version. The first error ends it with Error and the
// error's text: "missing value after NAME", "unknown option NAME" or the handler's own.
CommandLineOutcome ParseCommandLine(const std::vector<std::string_view>& args,
                                    const OptionTable& table, std::string& error);

}  // namespace zeph::tools
