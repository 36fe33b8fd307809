// Recognition of the outside vendor's Smart Token reader and the firmware version in the file it
// returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// True for "KOBIL Systems Smart Token" followed by a name part: the name sorts strictly between
// the bare prefix and the prefix followed by " XX".
bool IsSmartTokenReader(std::u16string_view reader);

// The firmware version of a read file: the text that begins two bytes after the first tag byte
// 0x0F and ends at the first zero byte or at the end of the returned bytes. No value when the
// file holds no tag. Never reads past the returned bytes, whatever the length byte says.
std::optional<std::string> FindFirmwareVersion(std::span<const uint8_t> file);
