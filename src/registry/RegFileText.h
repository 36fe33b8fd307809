// The text of a registry export file: its bytes decoded to UTF-16 and cut into lines.
//
// Encodings: UTF-16LE or UTF-16BE with their byte order mark (as the registry editor exports),
// otherwise UTF-8 with or without its byte order mark. Decoding is strict: a byte sequence that
// is not UTF-8 and a NUL character are errors, because they cannot come from an export and would
// otherwise be read as something other than what the file says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RegFileTextError {
    uint32_t line = 0;  // 1-based
    std::u16string what;
};

// Decodes `bytes` into `text`; on an error `text` holds what was decoded before it.
std::optional<RegFileTextError> DecodeRegFileText(std::string_view bytes, std::u16string& text);

// The lines of the text without their ends (CR LF, LF or CR). A text that ends with a line end
// has no empty last line.
std::vector<std::u16string_view> SplitRegFileLines(std::u16string_view text);
