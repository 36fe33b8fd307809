#include "platform/TextConversion.h"

#include <cstdint>

namespace zeph::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Lead byte of a multi-byte UTF-8 sequence: how many continuation bytes follow and which
// range the first of them may take (this excludes overlong forms, surrogates and values
// beyond U+10FFFF). A byte that cannot lead a sequence gives zero continuation bytes.
struct Utf8Lead {
    size_t continuationBytes = 0;
    char32_t bits = 0;
    uint8_t firstLow = 0x80;
    uint8_t firstHigh = 0xBF;
};

Utf8Lead DecodeLead(uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {1, byte & 0x1Fu};
    }
    if (byte >= 0xE0 && byte <= 0xEF) {
        return {2, byte & 0x0Fu, static_cast<uint8_t>(byte == 0xE0 ? 0xA0 : 0x80),
                static_cast<uint8_t>(byte == 0xED ? 0x9F : 0xBF)};
    }
    if (byte >= 0xF0 && byte <= 0xF4) {
        return {3, byte & 0x07u, static_cast<uint8_t>(byte == 0xF0 ? 0x90 : 0x80),
                static_cast<uint8_t>(byte == 0xF4 ? 0x8F : 0xBF)};
    }
    return {};
}

// Decodes one multi-byte sequence at `pos`, appends its character (or U+FFFD for the maximal
// ill-formed part) and returns the number of bytes consumed.
size_t DecodeSequence(std::string_view in, size_t pos, std::u16string& out) {
    Utf8Lead lead = DecodeLead(static_cast<uint8_t>(in[pos]));
    size_t used = 1;
    char32_t codePoint = lead.bits;
    for (; used <= lead.continuationBytes && pos + used < in.size(); ++used) {
        const auto byte = static_cast<uint8_t>(in[pos + used]);
        if (byte < lead.firstLow || byte > lead.firstHigh) {
            break;
        }
        lead.firstLow = 0x80;
        lead.firstHigh = 0xBF;
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    const bool complete = lead.continuationBytes > 0 && used == lead.continuationBytes + 1;
    AppendUtf16(out, complete ? codePoint : kReplacement);
    return used;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    auto put = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
    if (codePoint < 0x80) {
        put(codePoint);
    } else if (codePoint < 0x800) {
        put(0xC0 | (codePoint >> 6));
        put(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        put(0xE0 | (codePoint >> 12));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    } else {
        put(0xF0 | (codePoint >> 18));
        put(0x80 | ((codePoint >> 12) & 0x3F));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::u16string NarrowToWide(std::string_view narrow) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (size_t pos = 0; pos < narrow.size();) {
        const auto byte = static_cast<uint8_t>(narrow[pos]);
        if (byte < 0x80) {
            wide.push_back(byte);
            ++pos;
        } else {
            pos += DecodeSequence(narrow, pos, wide);
        }
    }
    return wide;
}

std::string WideToNarrow(std::u16string_view wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (size_t pos = 0; pos < wide.size(); ++pos) {
        char32_t unit = wide[pos];
        if (IsHighSurrogate(unit) && pos + 1 < wide.size() && IsLowSurrogate(wide[pos + 1])) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[pos + 1] - 0xDC00u);
            ++pos;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            unit = kReplacement;
        }
        AppendUtf8(narrow, unit);
    }
    return narrow;
}

std::string WideToUtf8(std::u16string_view wide) {
    return WideToNarrow(wide);
}

// A cut before a continuation byte is moved back to the lead byte of its sequence, provided that
// lead byte announces enough continuation bytes to reach the cut; stray continuation bytes are
// characters of their own (each converts to U+FFFD).
size_t NarrowPrefixLength(std::string_view narrow, size_t maxBytes) noexcept {
    if (maxBytes >= narrow.size()) {
        return narrow.size();
    }
    for (size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
        const auto byte = static_cast<uint8_t>(narrow[maxBytes - back + 1]);
        if ((byte & 0xC0u) != 0x80u) {
            return maxBytes;  // the cut is not inside a sequence
        }
        const auto lead = static_cast<uint8_t>(narrow[maxBytes - back]);
        if ((lead & 0xC0u) != 0x80u) {
            return DecodeLead(lead).continuationBytes >= back ? maxBytes - back : maxBytes;
        }
    }
    return maxBytes;
}

}  // namespace zeph::platform
