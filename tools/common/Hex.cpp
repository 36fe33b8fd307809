#include "Hex.h"

namespace zeph::tools {

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, HexSeparators separators) {
    const bool strict = separators == HexSeparators::OneBetweenPairs;
    const std::string_view allowed = strict ? " :-" : " :";
    std::vector<uint8_t> bytes;
    bool separated = false;  // a separator since the last pair
    size_t i = 0;
    while (i < text.size()) {
        if (allowed.find(text[i]) != std::string_view::npos) {
            if (strict && (bytes.empty() || separated)) {
                return std::nullopt;
            }
            separated = true;
            ++i;
            continue;
        }
        const int high = DigitValue(text[i]);
        const int low = i + 1 < text.size() ? DigitValue(text[i + 1]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        separated = false;
        i += 2;
    }
    if (strict && (bytes.empty() || separated)) {
        return std::nullopt;
    }
    return bytes;
}

std::string ToHex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace zeph::tools
