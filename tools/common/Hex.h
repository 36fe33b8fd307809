// Hexadecimal text to bytes and back, for the tools' command lines and output.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::tools {

// Where separators may stand between the pairs of digits.
enum class HexSeparators {
    // One space, colon or dash between two pairs, none at either end; at least one pair.
    OneBetweenPairs,
    // Any number of spaces and colons before, between and after the pairs; no pair at all is
    // no bytes.
    AnyBetweenPairs,
};

// Pairs of hex digits in either case, separated as `separators` allows. Null for anything else:
// other characters, a separator inside a pair, an odd number of digits.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, HexSeparators separators);

// Upper-case digits without separators.
std::string ToHex(std::span<const uint8_t> bytes);

}  // namespace zeph::tools
