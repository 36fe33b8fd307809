// A dump's string record: its length in bytes, then the UTF-16 text with a terminator.
#pragma once

#include <cstddef>
#include <string_view>

#include "crash/posix/DumpFile.h"

namespace ExceptionTranslator::minidump {

// Converts UTF-8 text (undecodable bytes become U+FFFD) into `scratch`, cut at `capacity` - 1
// units; returns the number of units written before the terminator.
size_t Utf8ToUtf16(std::string_view text, char16_t* scratch, size_t capacity) noexcept;

// Appends the text as a string record and returns where it starts.
Rva AppendDumpString(DumpFile& file, std::string_view text, char16_t* scratch,
                     size_t capacity) noexcept;

}  // namespace ExceptionTranslator::minidump
