#include "HostOptions.h"

#include <limits>

#include "ApduHex.h"
#include "Number.h"

namespace {

using zeph::tools::ValueHandler;

constexpr unsigned kMostStateQueries = 100;
constexpr unsigned kLongestTimeoutMs = 24u * 60u * 60u * 1000u;

// A decimal number within [lowest, highest] for the option `name`, handed to `store`.
template <typename Store>
ValueHandler Number(std::string_view name, unsigned lowest, unsigned highest, Store store) {
    return [=](std::string_view value) -> std::string {
        const std::optional<uint64_t> number = zeph::tools::ParseNumber(value);
        if (!number || *number < lowest || *number > highest) {
            return std::string(name) + " wants a number from " + std::to_string(lowest) + " to " +
                   std::to_string(highest) + ", not \"" + std::string(value) + "\"";
        }
        store(static_cast<unsigned>(*number));
        return "";
    };
}

ValueHandler Module(HostOptions& options) {
    return [&options](std::string_view path) -> std::string {
        if (!options.modulePath.empty()) {
            return "more than one module given";
        }
        if (path.empty()) {
            return "the module path is empty";
        }
        options.modulePath = path;
        return "";
    };
}

ValueHandler Apdu(HostOptions& options) {
    return [&options](std::string_view value) -> std::string {
        std::string error;
        std::optional<std::vector<uint8_t>> apdu = ParseApdu(value, error);
        if (!apdu) {
            return "--apdu " + error;
        }
        options.apdus.push_back(std::move(*apdu));
        return "";
    };
}

// A text that must not be empty, stored in `target`; `refusal` says what the option wants.
ValueHandler NonEmptyText(std::string& target, const char* refusal) {
    return [&target, refusal](std::string_view text) -> std::string {
        if (text.empty()) {
            return refusal;
        }
        target = text;
        return "";
    };
}

}  // namespace

std::vector<uint8_t> DefaultApdu() {
    return {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
}

ParsedHostOptions ParseHostOptions(const std::vector<std::string_view>& args) {
    ParsedHostOptions result;
    HostOptions& options = result.options;
    const zeph::tools::OptionTable table{
        {{"--module", Module(options)},
         {"--apdu", Apdu(options)},
         {"--cycles", Number("--cycles", 1, std::numeric_limits<unsigned>::max(),
                             [&](unsigned n) { options.cycles = n; })},
         {"--timeout-ms",
          Number("--timeout-ms", 1, kLongestTimeoutMs,
                 [&](unsigned n) { options.timeout = std::chrono::milliseconds(n); })},
         {"--state-queries", Number("--state-queries", 0, kMostStateQueries,
                                    [&](unsigned n) { options.stateQueries = n; })},
         {"--trace",
          NonEmptyText(options.traceLevels, "--trace wants trace levels, e.g. info,error")},
         {"--reader", NonEmptyText(options.manualReader, "--reader wants a reader name")}},
        {{"--dirs", [&] { options.dirs = true; }},
         {"--diagnose", [&] { options.diagnose = true; }},
         {"--json", [&] { options.json = true; }},
         {"--no-atr-filter", [&] { options.atrFilter = false; }}},
        true,
        Module(options)};
    result.outcome = zeph::tools::ParseCommandLine(args, table, result.error);
    if (result.outcome == ParsedHostOptions::Outcome::Run &&
        (options.json || !options.manualReader.empty()) && !options.diagnose) {
        result.outcome = ParsedHostOptions::Outcome::Error;
        result.error = "--json and --reader go with --diagnose";
    }
    if (result.outcome == ParsedHostOptions::Outcome::Run && options.apdus.empty()) {
        options.apdus.push_back(DefaultApdu());
    }
    return result;
}
std::string HostUsage() {
    return "Usage: zeph_host [OPTION]... [PATH]\n"
           "  or:  zeph_host --diagnose [--json] [--reader NAME] [--trace LEVELS] [PATH]\n"
           "\n"
           "Runs the host's cycle on the extension module: IsPresent waits for a card; once one\n"
           "is connected, IsAbsent waits for its removal on a second thread while the commands\n"
           "are sent, the physical reader's name is read and GetState is queried; after the\n"
           "removal the cycle starts again. Ctrl-C ends the run through Cancel. PATH is the\n"
           "module, as --module PATH.\n"
           "\n"
           "  --module PATH       the module (default: the first of ../../module/,\n"
           "                      ../lib/zeph/ and this program's directory that has it)\n"
           "  --apdu HEX          a command APDU to send in each cycle, repeatable\n"
           "                      (default: 00A4000C023F00, SELECT of the master file)\n"
           "  --cycles N          end after N cycles (card inserted, used and removed)\n"
           "  --timeout-ms MS     end the run through Cancel after MS milliseconds;\n"
           "                      exit status 3 when the cycles were not done by then\n"
           "  --state-queries N   GetState calls after the commands, 100 ms apart (default 3)\n"
           "  --trace LEVELS      the module's trace on stdout, its lines marked \"module\":\n"
           "                      levels for the trace system beside the module, e.g.\n"
           "                      info,error or all (names exception, error, warning,\n"
           "                      detail, info, or a mask such as 0x1F)\n"
           "  --no-atr-filter     turn the object's ATR filter off: any card is used (for\n"
           "                      a PC/SC without SCardLocateCardsByATR, such as Wine 10's)\n"
           "  --dirs              print the directories the module resolves for the product,\n"
           "                      with the directory library's messages, and end\n"
           "  --diagnose          show what the module sees and decides, without touching a\n"
           "                      card: module, trace system, directories, configuration,\n"
           "                      readers with the ATR filter's verdict, crash dumps; exit\n"
           "                      status 0 a card the module would take, 1 none, 2 no PC/SC\n"
           "                      service, 3 the module cannot be used\n"
           "  --json              the diagnosis as one JSON object\n"
           "  --reader NAME       the diagnosis with the host's manual reader setting\n"
           "  --help              show this text and end\n"
           "  --version           show the program's version and end\n";
}
