// Conversion between the module's UTF-16 text and the platform's narrow text (UTF-8 on Linux,
// the ANSI code page on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zeph::platform {

// Never throws for malformed input: undecodable bytes become U+FFFD on Linux; on Windows the
// code page's own replacement applies.
std::u16string NarrowToWide(std::string_view narrow);

// Lone surrogates become U+FFFD on Linux; characters outside the ANSI code page become the
// code page's default character on Windows.
std::string WideToNarrow(std::u16string_view wide);

// UTF-16 as UTF-8 on every platform (what a report for other programs needs); lone surrogates
// become U+FFFD. On Linux it is WideToNarrow.
std::string WideToUtf8(std::u16string_view wide);

// The length of the longest prefix of `narrow` of at most `maxBytes` bytes that does not end
// inside a multi-byte character, so that a cut text still converts without a broken character.
size_t NarrowPrefixLength(std::string_view narrow, size_t maxBytes) noexcept;

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

// The Win32 API spells UTF-16 as wchar_t; these views of the same units cross that boundary.
inline const char16_t* AsChar16(const wchar_t* text) noexcept {
    return reinterpret_cast<const char16_t*>(text);
}
inline const wchar_t* AsWChar(const char16_t* text) noexcept {
    return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* AsWChar(char16_t* text) noexcept {
    return reinterpret_cast<wchar_t*>(text);
}
#endif

}  // namespace zeph::platform
