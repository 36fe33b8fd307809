// Whole numbers as a command line gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zeph::tools {

// Decimal digits and nothing else, or with `hexAfter0x` also hex digits after "0x" or "0X".
// Null for a sign, a space, anything after the digits, no digits, or a value beyond 64 bits.
std::optional<uint64_t> ParseNumber(std::string_view text, bool hexAfter0x = false);

}  // namespace zeph::tools
