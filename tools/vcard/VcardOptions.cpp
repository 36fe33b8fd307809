#include "VcardOptions.h"

#include <charconv>
#include <optional>

#include "Hex.h"

namespace vcard {

namespace {

constexpr size_t kMinAtrLength = 2;
constexpr size_t kMaxAtrLength = 33;
constexpr size_t kMaxFileLength = 0xFFFF;

// Decimal, or hexadecimal after 0x.
std::optional<unsigned long> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint16_t> ParseWord(std::string_view text) {
    const auto bytes = ParseHex(text);
    if (!bytes || bytes->size() != 2) {
        return std::nullopt;
    }
    return static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
}

class Parser {
  public:
    explicit Parser(ParsedOptions& result) : m_result(result) {}

    // False when the option is unknown or its value is wrong (the error is set).
    bool Apply(std::string_view name, std::string_view value) {
        if (name == "--host") {
            if (value.empty()) {
                return Fail("empty host");
            }
            m_result.options.host = std::string(value);
            return true;
        }
        if (name == "--port") {
            return Port(value);
        }
        if (name == "--connect-timeout") {
            return Timeout(value);
        }
        if (name == "--atr") {
            return Atr(value);
        }
        if (name == "--file") {
            return File(value);
        }
        if (name == "--sw") {
            return Status(value);
        }
        if (name == "--drop-on") {
            return DropOn(value);
        }
        return Fail("unknown option " + std::string(name));
    }

    bool Fail(std::string error) {
        m_result.outcome = ParsedOptions::Outcome::Error;
        m_result.error = std::move(error);
        return false;
    }

  private:
    bool Port(std::string_view value) {
        const auto port = ParseNumber(value);
        if (!port || *port == 0 || *port > 0xFFFF) {
            return Fail("bad port " + std::string(value));
        }
        m_result.options.port = static_cast<uint16_t>(*port);
        return true;
    }

    bool Timeout(std::string_view value) {
        const auto ms = ParseNumber(value);
        if (!ms) {
            return Fail("bad timeout " + std::string(value));
        }
        m_result.options.connectTimeout = std::chrono::milliseconds(*ms);
        return true;
    }

    bool Atr(std::string_view value) {
        auto atr = ParseHex(value);
        if (!atr || atr->size() < kMinAtrLength || atr->size() > kMaxAtrLength) {
            return Fail("bad ATR (2 to 33 bytes of hex) " + std::string(value));
        }
        m_result.options.atr = std::move(*atr);
        return true;
    }

    bool File(std::string_view value) {
        const size_t equals = value.find('=');
        const auto fileId = ParseWord(value.substr(0, equals));
        auto contents =
            equals == std::string_view::npos ? std::nullopt : ParseHex(value.substr(equals + 1));
        if (!fileId || !contents || contents->size() > kMaxFileLength) {
            return Fail("bad file (FID=HEX, at most 65535 bytes) " + std::string(value));
        }
        if (!m_result.options.files.AddFile(*fileId, std::move(*contents))) {
            return Fail("the master file 3F00 holds no data");
        }
        return true;
    }

    bool Status(std::string_view value) {
        const auto status = ParseWord(value);
        if (!status) {
            return Fail("bad status word " + std::string(value));
        }
        m_result.options.otherStatus = *status;
        return true;
    }

    bool DropOn(std::string_view value) {
        auto prefix = ParseHex(value);
        if (!prefix || prefix->empty()) {
            return Fail("bad command prefix " + std::string(value));
        }
        m_result.options.dropOn = std::move(*prefix);
        return true;
    }

    ParsedOptions& m_result;
};

}  // namespace

std::vector<uint8_t> DefaultAtr() {
    return {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D, 0x00, 0x64, 0x04, 0x11,
            0x00, 0x00, 0x31, 0xC0, 0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};
}

ParsedOptions ParseVcardOptions(const std::vector<std::string_view>& args) {
    ParsedOptions result;
    result.options.atr = DefaultAtr();
    Parser parser(result);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            result.outcome = ParsedOptions::Outcome::Help;
            return result;
        }
        if (i + 1 == args.size()) {
            parser.Fail("missing value after " + std::string(args[i]));
            return result;
        }
        if (!parser.Apply(args[i], args[i + 1])) {
            return result;
        }
        ++i;
    }
    return result;
}

std::string VcardUsage() {
    return "usage: zeph_vcard [options]\n"
           "  --host H              reader driver host (default 127.0.0.1)\n"
           "  --port N              reader driver port, decimal or 0x hex (default 35963)\n"
           "  --connect-timeout MS  keep retrying the connection this long (default 10000)\n"
           "  --atr HEX             ATR (default the module's predefined ATR)\n"
           "  --file FID=HEX        an elementary file under 3F00 (repeatable)\n"
           "  --sw XXXX             status word for every other command (default 6D00)\n"
           "  --drop-on HEX         drop the connection on a command starting with HEX\n"
           "Commands on standard input, one a line: remove, insert, quit.\n";
}

}  // namespace vcard
