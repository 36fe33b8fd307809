// One line of the stand-in's output:
//
//   PREFIX DD.MM.YYYY hh:mm:ss.mmm [pid] [tid] LEVEL CATEGORY TEXT\n
//
// with the local date and time, the calling process and thread, the level's name (EXCEPTION,
// ERROR, WARNING, DETAIL, INFO; any other mask in hexadecimal, 0x0018) and category and text turned
// from ISO 8859-1 into UTF-8. The prefix is written as it is given (empty: none).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::tracesystem {

std::string TraceLevelName(uint32_t level);

// `entry`, when not empty, goes before the text with ": " after it.
std::string FormatTraceLine(std::string_view prefix, uint32_t level, std::string_view category,
                            std::string_view entry, std::string_view text);

}  // namespace zeph::tracesystem
