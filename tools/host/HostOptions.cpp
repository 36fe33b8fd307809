#include "HostOptions.h"

#include <charconv>
#include <limits>

#include "ApduHex.h"

namespace {

constexpr unsigned kMostStateQueries = 100;
constexpr unsigned kLongestTimeoutMs = 24u * 60u * 60u * 1000u;

// A decimal number within [lowest, highest], nothing else.
std::optional<unsigned> ParseNumber(std::string_view text, unsigned lowest, unsigned highest) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

class Parser {
  public:
    explicit Parser(ParsedHostOptions& result) : m_result(result) {}

    bool Apply(std::string_view name, std::string_view value) {
        HostOptions& options = m_result.options;
        if (name == "--module") {
            return SetModule(value);
        }
        if (name == "--apdu") {
            std::string error;
            std::optional<std::vector<uint8_t>> apdu = ParseApdu(value, error);
            if (!apdu) {
                return Fail("--apdu " + error);
            }
            options.apdus.push_back(std::move(*apdu));
            return true;
        }
        if (name == "--cycles") {
            return Number(name, value, 1, std::numeric_limits<unsigned>::max(),
                          [&](unsigned n) { options.cycles = n; });
        }
        if (name == "--timeout-ms") {
            return Number(name, value, 1, kLongestTimeoutMs,
                          [&](unsigned n) { options.timeout = std::chrono::milliseconds(n); });
        }
        if (name == "--state-queries") {
            return Number(name, value, 0, kMostStateQueries,
                          [&](unsigned n) { options.stateQueries = n; });
        }
        return Fail("unknown option " + std::string(name));
    }

    bool SetModule(std::string_view path) {
        if (!m_result.options.modulePath.empty()) {
            return Fail("more than one module given");
        }
        if (path.empty()) {
            return Fail("the module path is empty");
        }
        m_result.options.modulePath = path;
        return true;
    }

    bool Fail(std::string error) {
        m_result.outcome = ParsedHostOptions::Outcome::Error;
        m_result.error = std::move(error);
        return false;
    }

  private:
    template <typename Store>
    bool Number(std::string_view name, std::string_view value, unsigned lowest, unsigned highest,
                Store store) {
        const std::optional<unsigned> number = ParseNumber(value, lowest, highest);
        if (!number) {
            return Fail(std::string(name) + " wants a number from " + std::to_string(lowest) +
                        " to " + std::to_string(highest) + ", not \"" + std::string(value) + "\"");
        }
        store(*number);
        return true;
    }

    ParsedHostOptions& m_result;
};

}  // namespace

std::vector<uint8_t> DefaultApdu() {
    return {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
}

ParsedHostOptions ParseHostOptions(const std::vector<std::string_view>& args) {
    ParsedHostOptions result;
    Parser parser(result);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.outcome = ParsedHostOptions::Outcome::Help;
            return result;
        }
        if (!arg.starts_with("--")) {
            if (!parser.SetModule(arg)) {
                return result;
            }
            continue;
        }
        const size_t equals = arg.find('=');
        if (equals != std::string_view::npos) {
            if (!parser.Apply(arg.substr(0, equals), arg.substr(equals + 1))) {
                return result;
            }
            continue;
        }
        if (i + 1 == args.size()) {
            parser.Fail("missing value after " + std::string(arg));
            return result;
        }
        if (!parser.Apply(arg, args[++i])) {
            return result;
        }
    }
    if (result.options.apdus.empty()) {
        result.options.apdus.push_back(DefaultApdu());
    }
    return result;
}

std::string HostUsage() {
    return "usage: zeph_host [--module PATH | PATH] [--apdu HEX]... [--cycles N]\n"
           "                 [--timeout-ms MS] [--state-queries N]\n"
           "\n"
           "Runs the host's cycle on the extension module: IsPresent waits for a card; once one\n"
           "is connected, IsAbsent waits for its removal on a second thread while the commands\n"
           "are sent, the physical reader's name is read and GetState is queried; after the\n"
           "removal the cycle starts again. Ctrl-C ends the run through Cancel.\n"
           "\n"
           "  --module PATH       the module (default: ../../module/ beside this program)\n"
           "  --apdu HEX          a command APDU to send in each cycle, repeatable\n"
           "                      (default: 00A4000C023F00, SELECT of the master file)\n"
           "  --cycles N          end after N cycles (card inserted, used and removed)\n"
           "  --timeout-ms MS     end the run through Cancel after MS milliseconds;\n"
           "                      exit status 3 when the cycles were not done by then\n"
           "  --state-queries N   GetState calls after the commands, 100 ms apart (default 3)\n";
}
