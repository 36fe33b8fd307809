// The stand-in's settings as the environment gives them: which levels and categories pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::tracesystem {

inline constexpr uint32_t kAllLevels = 0xFFFF;

// A mask as decimal ("24") or hexadecimal ("0x18") number, a comma list of the names exception,
// error, warning, detail and info in any case ("warning,info"), or "all". None when not understood
// or beyond 16 bits.
std::optional<uint32_t> ParseLevels(std::string_view text);

// A comma list of categories, blanks around each name dropped, empty names left out.
std::vector<std::string> ParseCategories(std::string_view text);

}  // namespace zeph::tracesystem
