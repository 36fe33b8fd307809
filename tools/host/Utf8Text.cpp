#include "Utf8Text.h"

#include "platform/TextConversion.h"

namespace zeph::tools {

namespace {

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(char16_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsLow(char16_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHigh(unit) && i + 1 < text.size() && IsLow(text[i + 1])) {
            const char32_t high = char32_t{unit} - char32_t{0xD800};
            const char32_t low = char32_t{text[++i]} - char32_t{0xDC00};
            Append(out, char32_t{0x10000} + (high << 10) + low);
        } else {
            Append(out, IsHigh(unit) || IsLow(unit) ? char32_t{0xFFFD} : char32_t{unit});
        }
    }
    return out;
}

std::string PlatformTextToUtf8(std::string_view text) {
#ifdef _WIN32
    return Utf16ToUtf8(zeph::platform::NarrowToWide(text));
#else
    return std::string(text);
#endif
}

}  // namespace zeph::tools
