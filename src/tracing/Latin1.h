// ISO 8859-1 conversion of the single-byte texts handed to the trace system.
//
// Every UTF-16 unit from U+0000 to U+00FF becomes the byte of the same value, which keeps the
// German umlauts of the messages. A text that holds any other unit converts to the empty text
// as a whole. The text is cut at the limit first and converted afterwards: units beyond the
// limit are never delivered, so a character outside ISO 8859-1 there does not empty the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tracing/FormatSink.h"

namespace zeph::trace {

inline constexpr size_t kMaxTraceTextChars = 4095;
inline constexpr size_t kMaxTraceComponentChars = 127;

// Streams UTF-16 units into a caller's buffer of limit + 1 bytes, keeping the first `limit`.
class Latin1Writer final : public FormatSink<char16_t> {
  public:
    Latin1Writer(char* buffer, size_t limit) noexcept : m_buffer(buffer), m_limit(limit) {}

    void Append(std::u16string_view text) override;
    void AppendRepeated(char16_t unit, size_t count) override;

    // Terminates the buffer and returns the length of the converted text (0 when not ISO 8859-1).
    size_t Finish() noexcept;

  private:
    void Reject() noexcept;

    char* m_buffer;
    size_t m_limit;
    size_t m_length = 0;
    bool m_valid = true;
};

// Converts into a buffer of limit + 1 bytes and returns the length; a null text is empty.
size_t ToLatin1(std::u16string_view text, char* buffer, size_t limit) noexcept;
size_t ToLatin1(const char16_t* text, char* buffer, size_t limit) noexcept;

// The same as a string; a null text gives an empty string.
std::string ToLatin1(const char16_t* text, size_t limit);

}  // namespace zeph::trace
