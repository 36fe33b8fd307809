#include "VcardOptions.h"

#include <optional>

#include "Hex.h"
#include "Number.h"

namespace vcard {

namespace {

using zeph::tools::ValueHandler;

constexpr size_t kMinAtrLength = 2;
constexpr size_t kMaxAtrLength = 33;
constexpr size_t kMaxFileLength = 0xFFFF;

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text) {
    return zeph::tools::ParseHex(text, zeph::tools::HexSeparators::AnyBetweenPairs);
}

std::optional<uint16_t> ParseWord(std::string_view text) {
    const auto bytes = ParseHex(text);
    if (!bytes || bytes->size() != 2) {
        return std::nullopt;
    }
    return static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
}

// The handler of each option, storing into `options`.
std::map<std::string_view, ValueHandler> Handlers(VcardOptions& options) {
    return {
        {"--host",
         [&options](std::string_view value) -> std::string {
             if (value.empty()) {
                 return "empty host";
             }
             options.host = std::string(value);
             return "";
         }},
        {"--port",
         [&options](std::string_view value) -> std::string {
             const auto port = zeph::tools::ParseNumber(value, true);
             if (!port || *port == 0 || *port > 0xFFFF) {
                 return "bad port " + std::string(value);
             }
             options.port = static_cast<uint16_t>(*port);
             return "";
         }},
        {"--connect-timeout",
         [&options](std::string_view value) -> std::string {
             const auto ms = zeph::tools::ParseNumber(value, true);
             if (!ms) {
                 return "bad timeout " + std::string(value);
             }
             options.connectTimeout = std::chrono::milliseconds(*ms);
             return "";
         }},
        {"--atr",
         [&options](std::string_view value) -> std::string {
             auto atr = ParseHex(value);
             if (!atr || atr->size() < kMinAtrLength || atr->size() > kMaxAtrLength) {
                 return "bad ATR (2 to 33 bytes of hex) " + std::string(value);
             }
             options.atr = std::move(*atr);
             return "";
         }},
        {"--file",
         [&options](std::string_view value) -> std::string {
             const size_t equals = value.find('=');
             const auto fileId = ParseWord(value.substr(0, equals));
             auto contents = equals == std::string_view::npos ? std::nullopt
                                                              : ParseHex(value.substr(equals + 1));
             if (!fileId || !contents || contents->size() > kMaxFileLength) {
                 return "bad file (FID=HEX, at most 65535 bytes) " + std::string(value);
             }
             if (!options.files.AddFile(*fileId, std::move(*contents))) {
                 return "the master file 3F00 holds no data";
             }
             return "";
         }},
        {"--sw",
         [&options](std::string_view value) -> std::string {
             const auto status = ParseWord(value);
             if (!status) {
                 return "bad status word " + std::string(value);
             }
             options.otherStatus = *status;
             return "";
         }},
        {"--drop-on",
         [&options](std::string_view value) -> std::string {
             auto prefix = ParseHex(value);
             if (!prefix || prefix->empty()) {
                 return "bad command prefix " + std::string(value);
             }
             options.dropOn = std::move(*prefix);
             return "";
         }},
        {"--drop-after",
         [&options](std::string_view value) -> std::string {
             const auto count = zeph::tools::ParseNumber(value, true);
             if (!count || *count == 0 || *count > 0xFFFFFFFF) {
                 return "bad command count " + std::string(value);
             }
             options.dropAfter = static_cast<uint32_t>(*count);
             return "";
         }},
        {"--answer-delay",
         [&options](std::string_view value) -> std::string {
             const auto ms = zeph::tools::ParseNumber(value, true);
             if (!ms) {
                 return "bad delay " + std::string(value);
             }
             options.answerDelay = std::chrono::milliseconds(*ms);
             return "";
         }},
    };
}

}  // namespace

std::vector<uint8_t> DefaultAtr() {
    return {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D, 0x00, 0x64, 0x04, 0x11,
            0x00, 0x00, 0x31, 0xC0, 0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};
}

ParsedOptions ParseVcardOptions(const std::vector<std::string_view>& args) {
    ParsedOptions result;
    result.options.atr = DefaultAtr();
    zeph::tools::OptionTable table;
    table.options = Handlers(result.options);
    table.flags = {{"--silent", [&result] { result.options.silent = true; }}};
    result.outcome = zeph::tools::ParseCommandLine(args, table, result.error);
    return result;
}
std::string VcardUsage() {
    return "Usage: zeph_vcard [OPTION]...\n"
           "\n"
           "A virtual smart card for the vpcd reader driver of pcscd: connects to the driver\n"
           "and answers the reader's commands as a card with the given ATR and files would.\n"
           "\n"
           "  --host H              reader driver host (default 127.0.0.1)\n"
           "  --port N              reader driver port, decimal or 0x hex (default 35963)\n"
           "  --connect-timeout MS  keep retrying the connection this long (default 10000)\n"
           "  --atr HEX             ATR (default the module's predefined ATR)\n"
           "  --file FID=HEX        an elementary file under 3F00 (repeatable)\n"
           "  --sw XXXX             status word for every other command (default 6D00)\n"
           "  --drop-on HEX         drop the connection on a command starting with HEX\n"
           "  --drop-after N        drop the connection on the Nth command of a connection\n"
           "  --silent              never answer a command\n"
           "  --answer-delay MS     wait this long before each answer\n"
           "  --help                show this text and end\n"
           "  --version             show the program's version and end\n"
           "\n"
           "Commands on standard input, one a line: remove, insert, quit.\n";
}

}  // namespace vcard
