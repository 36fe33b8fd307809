#include "registry/RegFileText.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

uint8_t Byte(std::string_view bytes, size_t index) {
    return static_cast<uint8_t>(bytes[index]);
}

uint32_t LineOfEnd(std::u16string_view text) {
    return static_cast<uint32_t>(SplitRegFileLines(text).size()) + 1 -
           ((text.empty() || text.back() == u'\n' || text.back() == u'\r') ? 0 : 1);
}

RegFileTextError ErrorAtEnd(std::u16string_view decoded, std::u16string what) {
    return {LineOfEnd(decoded), std::move(what)};
}

void AppendCodePoint(std::u16string& text, uint32_t codePoint) {
    if (codePoint < 0x10000) {
        text += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    text += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

// The length of the UTF-8 sequence that begins with `lead` and the range its second byte must
// lie in (which excludes overlong forms, surrogates and values above U+10FFFF); 0 when `lead`
// cannot begin a sequence.
struct SequenceShape {
    size_t length = 0;
    uint8_t secondLow = 0x80;
    uint8_t secondHigh = 0xBF;
};

SequenceShape ShapeOf(uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {3, lead == 0xE0 ? uint8_t{0xA0} : uint8_t{0x80},
                lead == 0xED ? uint8_t{0x9F} : uint8_t{0xBF}};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {4, lead == 0xF0 ? uint8_t{0x90} : uint8_t{0x80},
                lead == 0xF4 ? uint8_t{0x8F} : uint8_t{0xBF}};
    }
    return {};
}

// Decodes the sequence at `index`; returns its length, or 0 when it is not valid UTF-8.
size_t DecodeSequence(std::string_view bytes, size_t index, uint32_t& codePoint) {
    const uint8_t lead = Byte(bytes, index);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    const SequenceShape shape = ShapeOf(lead);
    if (shape.length == 0 || bytes.size() - index < shape.length) {
        return 0;
    }
    const uint8_t second = Byte(bytes, index + 1);
    if (second < shape.secondLow || second > shape.secondHigh) {
        return 0;
    }
    codePoint = lead & (0xFFu >> (shape.length + 1));
    for (size_t i = 1; i < shape.length; ++i) {
        const uint8_t next = Byte(bytes, index + i);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    return shape.length;
}

std::optional<RegFileTextError> DecodeUtf8(std::string_view bytes, std::u16string& text) {
    for (size_t index = 0; index < bytes.size();) {
        uint32_t codePoint = 0;
        const size_t length = DecodeSequence(bytes, index, codePoint);
        if (length == 0) {
            return ErrorAtEnd(text, u"ungültige UTF-8-Bytefolge");
        }
        if (codePoint == 0) {
            return ErrorAtEnd(text, u"NUL-Zeichen im Text");
        }
        AppendCodePoint(text, codePoint);
        index += length;
    }
    return std::nullopt;
}

std::optional<RegFileTextError> DecodeUtf16(std::string_view bytes, bool bigEndian,
                                            std::u16string& text) {
    if (bytes.size() % 2 != 0) {
        return RegFileTextError{1, u"UTF-16-Text mit ungerader Byteanzahl"};
    }
    for (size_t index = 0; index < bytes.size(); index += 2) {
        const uint8_t first = Byte(bytes, index);
        const uint8_t second = Byte(bytes, index + 1);
        const auto unit =
            static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
        if (unit == 0) {
            return ErrorAtEnd(text, u"NUL-Zeichen im Text");
        }
        text += unit;
    }
    return std::nullopt;
}

}  // namespace

std::optional<RegFileTextError> DecodeRegFileText(std::string_view bytes, std::u16string& text) {
    text.clear();
    if (bytes.starts_with(kUtf16LeBom)) {
        return DecodeUtf16(bytes.substr(kUtf16LeBom.size()), false, text);
    }
    if (bytes.starts_with(kUtf16BeBom)) {
        return DecodeUtf16(bytes.substr(kUtf16BeBom.size()), true, text);
    }
    if (bytes.starts_with(kUtf8Bom)) {
        bytes.remove_prefix(kUtf8Bom.size());
    }
    return DecodeUtf8(bytes, text);
}

std::vector<std::u16string_view> SplitRegFileLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find_first_of(u"\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::u16string_view::npos) {
            break;
        }
        const bool crlf = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
        text.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}
