#include "registry/RegFileValueLine.h"

#include <vector>

namespace {

using SyntaxResult = std::optional<RegFileSyntaxError>;

constexpr size_t kDwordDigits = 8;
constexpr size_t kByteDigits = 2;
constexpr size_t kTypeDigits = 8;

int HexDigit(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') {
        return unit - u'0';
    }
    if (unit >= u'a' && unit <= u'f') {
        return unit - u'a' + 10;
    }
    if (unit >= u'A' && unit <= u'F') {
        return unit - u'A' + 10;
    }
    return -1;
}

char16_t LowerAscii(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

class EntryCursor {
  public:
    explicit EntryCursor(std::u16string_view text) : m_text(text) {}

    bool AtEnd() const { return m_position >= m_text.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : m_text[m_position]; }
    size_t Position() const { return m_position; }
    void Advance() { ++m_position; }

    void SkipBlanks() {
        while (Peek() == u' ' || Peek() == u'\t') {
            Advance();
        }
    }

    bool Consume(char16_t unit) {
        if (AtEnd() || Peek() != unit) {
            return false;
        }
        Advance();
        return true;
    }

    // Consumes the lower-case ASCII keyword in any case.
    bool ConsumeKeyword(std::u16string_view keyword) {
        const std::u16string_view rest = m_text.substr(m_position);
        if (rest.size() < keyword.size()) {
            return false;
        }
        for (size_t i = 0; i < keyword.size(); ++i) {
            if (LowerAscii(rest[i]) != keyword[i]) {
                return false;
            }
        }
        m_position += keyword.size();
        return true;
    }

    // Reads up to `maxDigits` hexadecimal digits; returns how many it read.
    size_t ReadHex(size_t maxDigits, uint32_t& value) {
        value = 0;
        size_t digits = 0;
        for (; digits < maxDigits && HexDigit(Peek()) >= 0; ++digits) {
            value = (value << 4) | static_cast<uint32_t>(HexDigit(Peek()));
            Advance();
        }
        return digits;
    }

    RegFileSyntaxError Error(std::u16string what) const { return {m_position, std::move(what)}; }

  private:
    std::u16string_view m_text;
    size_t m_position = 0;
};

SyntaxResult ParseQuoted(EntryCursor& cursor, std::u16string& text) {
    const size_t start = cursor.Position();
    cursor.Advance();
    while (!cursor.AtEnd()) {
        char16_t unit = cursor.Peek();
        cursor.Advance();
        if (unit == u'"') {
            return std::nullopt;
        }
        if (unit == u'\\' && !cursor.AtEnd()) {
            unit = cursor.Peek();
            if (unit != u'\\' && unit != u'"') {
                return cursor.Error(u"unbekannte Escape-Folge (erlaubt sind \\\\ und \\\")");
            }
            cursor.Advance();
        }
        text += unit;
    }
    return RegFileSyntaxError{start, u"Zeichenkette ohne schließendes Anführungszeichen"};
}

SyntaxResult ParseName(EntryCursor& cursor, std::u16string& name) {
    if (cursor.Consume(u'@')) {
        return std::nullopt;
    }
    if (cursor.Peek() != u'"') {
        return cursor.Error(u"Wertname in Anführungszeichen oder @ erwartet");
    }
    const size_t start = cursor.Position();
    if (SyntaxResult error = ParseQuoted(cursor, name)) {
        return error;
    }
    if (name.size() > kMaxRegistryValueNameChars) {
        return RegFileSyntaxError{start, u"Wertname länger als 16383 Zeichen"};
    }
    return std::nullopt;
}

std::vector<uint8_t> Utf16LeWithTerminator(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * text.size() + 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

SyntaxResult ParseString(EntryCursor& cursor, RegistryValue& value) {
    std::u16string text;
    if (SyntaxResult error = ParseQuoted(cursor, text)) {
        return error;
    }
    value = {kRegSz, Utf16LeWithTerminator(text)};
    return std::nullopt;
}

SyntaxResult ParseDword(EntryCursor& cursor, RegistryValue& value) {
    uint32_t number = 0;
    if (cursor.ReadHex(kDwordDigits, number) == 0 || HexDigit(cursor.Peek()) >= 0) {
        return cursor.Error(u"DWORD-Wert mit 1 bis 8 Hexadezimalziffern erwartet");
    }
    value = {kRegDword,
             {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
              static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
    return std::nullopt;
}

SyntaxResult ParseBytes(EntryCursor& cursor, std::vector<uint8_t>& bytes) {
    cursor.SkipBlanks();
    while (!cursor.AtEnd()) {
        uint32_t byte = 0;
        if (cursor.ReadHex(kByteDigits, byte) == 0) {
            return cursor.Error(u"Hex-Byte erwartet");
        }
        bytes.push_back(static_cast<uint8_t>(byte));
        cursor.SkipBlanks();
        if (cursor.AtEnd()) {
            break;
        }
        if (!cursor.Consume(u',')) {
            return cursor.Error(u"',' zwischen Hex-Bytes erwartet");
        }
        cursor.SkipBlanks();
        if (cursor.AtEnd()) {
            return cursor.Error(u"Hex-Byte nach ',' erwartet");
        }
    }
    return std::nullopt;
}

bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// Single-byte text as UTF-16LE: each byte becomes one code unit.
std::vector<uint8_t> Widened(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> wide;
    wide.reserve(2 * bytes.size());
    for (const uint8_t byte : bytes) {
        wide.insert(wide.end(), {byte, 0});
    }
    return wide;
}

SyntaxResult ParseHexType(EntryCursor& cursor, uint32_t& type) {
    if (cursor.ReadHex(kTypeDigits, type) == 0 || !cursor.Consume(u')') || !cursor.Consume(u':')) {
        return cursor.Error(u"Typangabe hex(n): mit 1 bis 8 Hexadezimalziffern erwartet");
    }
    return std::nullopt;
}

SyntaxResult ParseHex(EntryCursor& cursor, bool typed, bool singleByteStrings,
                      RegistryValue& value) {
    value.type = kRegBinary;
    if (typed) {
        if (SyntaxResult error = ParseHexType(cursor, value.type)) {
            return error;
        }
    }
    if (SyntaxResult error = ParseBytes(cursor, value.data)) {
        return error;
    }
    if (singleByteStrings && IsStringType(value.type)) {
        value.data = Widened(value.data);
    }
    return std::nullopt;
}

SyntaxResult ParseData(EntryCursor& cursor, bool singleByteStrings,
                       std::optional<RegistryValue>& value) {
    if (cursor.Consume(u'-')) {
        value.reset();
        return std::nullopt;
    }
    value.emplace();
    if (cursor.Peek() == u'"') {
        return ParseString(cursor, *value);
    }
    if (cursor.ConsumeKeyword(u"dword:")) {
        return ParseDword(cursor, *value);
    }
    if (cursor.ConsumeKeyword(u"hex:")) {
        return ParseHex(cursor, false, singleByteStrings, *value);
    }
    if (cursor.ConsumeKeyword(u"hex(")) {
        return ParseHex(cursor, true, singleByteStrings, *value);
    }
    return cursor.Error(u"Wert erwartet: \"Text\", dword:, hex:, hex(n): oder -");
}

}  // namespace

std::optional<RegFileSyntaxError> ParseRegFileValueEntry(std::u16string_view entry,
                                                         bool singleByteStrings,
                                                         RegFileValueEntry& parsed) {
    EntryCursor cursor(entry);
    parsed = {};
    if (SyntaxResult error = ParseName(cursor, parsed.name)) {
        return error;
    }
    cursor.SkipBlanks();
    if (!cursor.Consume(u'=')) {
        return cursor.Error(u"'=' nach dem Wertnamen erwartet");
    }
    cursor.SkipBlanks();
    if (SyntaxResult error = ParseData(cursor, singleByteStrings, parsed.value)) {
        return error;
    }
    cursor.SkipBlanks();
    if (!cursor.AtEnd()) {
        return cursor.Error(u"unerwarteter Text nach dem Wert");
    }
    return std::nullopt;
}

bool RegFileEntryContinuation::Continues(std::u16string_view entry) {
    if (m_scanned > entry.size()) {
        m_scanned = entry.size();
    }
    for (; m_scanned < entry.size(); ++m_scanned) {
        const char16_t unit = entry[m_scanned];
        if (m_escaped) {
            m_escaped = false;
        } else if (m_inString) {
            m_escaped = unit == u'\\';
            m_inString = unit != u'"';
        } else {
            m_inString = unit == u'"';
        }
    }
    return !m_inString && !entry.empty() && entry.back() == u'\\';
}
