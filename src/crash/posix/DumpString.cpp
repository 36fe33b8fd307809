#include "crash/posix/DumpString.h"

#include <cstdint>

namespace ExceptionTranslator::minidump {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at `pos` and advances past it; an ill-formed sequence gives U+FFFD and
// advances one byte.
char32_t DecodeUtf8(std::string_view text, size_t& pos) noexcept {
    const auto lead = static_cast<uint8_t>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    const size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (extra == 0 || lead > 0xF4 || pos + extra > text.size()) {
        return kReplacement;
    }
    char32_t value = lead & (0x3Fu >> extra);
    for (size_t i = 0; i < extra; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        return kReplacement;
    }
    pos += extra;
    return value;
}

}  // namespace

size_t Utf8ToUtf16(std::string_view text, char16_t* scratch, size_t capacity) noexcept {
    size_t units = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const char32_t value = DecodeUtf8(text, pos);
        const size_t needed = value >= 0x10000 ? 2 : 1;
        if (units + needed >= capacity) {
            break;
        }
        if (needed == 2) {
            scratch[units++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            scratch[units++] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
        } else {
            scratch[units++] = static_cast<char16_t>(value);
        }
    }
    scratch[units] = u'\0';
    return units;
}

Rva AppendDumpString(DumpFile& file, std::string_view text, char16_t* scratch,
                     size_t capacity) noexcept {
    const size_t units = Utf8ToUtf16(text, scratch, capacity);
    const auto bytes = static_cast<uint32_t>(units * sizeof(char16_t));
    const Rva rva = file.AppendRecord(bytes).rva;
    file.Append(scratch, (units + 1) * sizeof(char16_t));
    return rva;
}

}  // namespace ExceptionTranslator::minidump
