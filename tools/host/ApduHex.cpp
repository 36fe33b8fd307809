#include "ApduHex.h"

namespace {

constexpr size_t kHeaderLength = 4;
constexpr size_t kShortLcOffset = 4;
constexpr size_t kExtendedLengthSize = 2;

std::string ShortFormError(std::span<const uint8_t> apdu) {
    const size_t body = apdu.size() - kHeaderLength;
    if (body == 1) {
        return "";  // Le alone
    }
    const size_t lc = apdu[kShortLcOffset];  // not zero: that starts an extended length
    if (body == 1 + lc || body == 1 + lc + 1) {
        return "";  // Lc and data, possibly followed by Le
    }
    return "Lc " + ToHex(apdu.subspan(kShortLcOffset, 1)) + " announces " + std::to_string(lc) +
           " data bytes, but " + std::to_string(body - 1) + " bytes follow it";
}

std::string ExtendedFormError(std::span<const uint8_t> apdu) {
    const size_t body = apdu.size() - kHeaderLength;
    if (body == 1 + kExtendedLengthSize) {
        return "";  // extended Le alone
    }
    if (body < 1 + kExtendedLengthSize) {
        return "an extended length needs two bytes after its leading 00";
    }
    const size_t lc = size_t{apdu[kShortLcOffset + 1]} << 8 | apdu[kShortLcOffset + 2];
    if (lc == 0) {
        return "extended Lc is 0000 but data follows";
    }
    const size_t afterLc = body - 1 - kExtendedLengthSize;
    if (afterLc == lc || afterLc == lc + kExtendedLengthSize) {
        return "";  // Lc and data, possibly followed by a two-byte Le
    }
    return "extended Lc announces " + std::to_string(lc) + " data bytes, but " +
           std::to_string(afterLc) + " bytes follow it";
}

}  // namespace

std::string ApduShapeError(std::span<const uint8_t> apdu) {
    if (apdu.size() < kHeaderLength) {
        return "a command needs at least the four header bytes CLA INS P1 P2";
    }
    if (apdu.size() == kHeaderLength) {
        return "";
    }
    // A zero where Lc or Le stands, with more bytes behind it, starts an extended length.
    if (apdu[kShortLcOffset] == 0 && apdu.size() > kHeaderLength + 1) {
        return ExtendedFormError(apdu);
    }
    return ShortFormError(apdu);
}

std::optional<std::vector<uint8_t>> ParseApdu(std::string_view text, std::string& error) {
    std::optional<std::vector<uint8_t>> bytes =
        zeph::tools::ParseHex(text, zeph::tools::HexSeparators::OneBetweenPairs);
    if (!bytes) {
        error.assign(1, '"').append(text).append("\" is not hex bytes");
        return std::nullopt;
    }
    const std::string shapeError = ApduShapeError(*bytes);
    if (!shapeError.empty()) {
        error = ToHex(*bytes).append(": ").append(shapeError);
        return std::nullopt;
    }
    error.clear();
    return bytes;
}

std::string PrintableText(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        if (byte < 0x20 || byte > 0x7E) {
            return "";
        }
        text += static_cast<char>(byte);
    }
    return text;
}
