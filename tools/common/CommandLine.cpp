#include "CommandLine.h"

namespace zeph::tools {

CommandLineOutcome ParseCommandLine(const std::vector<std::string_view>& args,
                                    const OptionTable& table, std::string& error) {
    error.clear();
    for (size_t i = 0; i < args.size() && error.empty(); ++i) {
        std::string_view name = args[i];
        if (name == "--help" || name == "-h") {
            return CommandLineOutcome::Help;
        }
        if (name == "--version") {
            return CommandLineOutcome::Version;
        }
        if (table.operand && !name.starts_with("--")) {
            error = table.operand(name);
            continue;
        }
        if (const auto flag = table.flags.find(name); flag != table.flags.end()) {
            flag->second();
            continue;
        }
        std::string_view value;
        if (const size_t equals = name.find('=');
            table.valueAfterEquals && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (i + 1 == args.size()) {
            error = "missing value after " + std::string(name);
            break;
        } else {
            value = args[++i];
        }
        const auto option = table.options.find(name);
        error = option != table.options.end() ? option->second(value)
                                              : "unknown option " + std::string(name);
    }
    return error.empty() ? CommandLineOutcome::Run : CommandLineOutcome::Error;
}

}  // namespace zeph::tools
