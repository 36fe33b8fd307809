// Hexadecimal text to bytes and back, for command lines and event lines.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vcard {

// Pairs of hex digits; spaces and colons between pairs are ignored. Null on anything else,
// including an odd number of digits.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text);

// Upper-case digits without separators.
std::string ToHex(std::span<const uint8_t> bytes);

}  // namespace vcard
