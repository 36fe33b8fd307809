#include "crash/DumpHistoryKey.h"

#include <array>

#include "tracing/FormatExpander.h"

namespace ExceptionTranslator {

namespace {

constexpr std::u16string_view kMarker = u"_AppCrashDump_";
constexpr size_t kDateChars = 19;

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The white space that sscanf skips before a number: blank, tab, line feed, vertical tab, form
// feed and carriage return.
bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// One "%<width>d" of sscanf: white space skipped, then an optional sign and digits, together at
// most `width` characters. False when no digit is there.
bool ReadNumber(std::u16string_view& text, size_t width, int& value) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    size_t used = 0;
    const bool negative = !text.empty() && text.front() == u'-';
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        ++used;
    }
    int number = 0;
    const size_t firstDigit = used;
    for (; used < width && used < text.size() && IsDigit(text[used]); ++used) {
        number = number * 10 + (text[used] - u'0');
    }
    if (used == firstDigit) {
        return false;
    }
    text.remove_prefix(used);
    value = negative ? -number : number;
    return true;
}

// Day, month, year, hour, minute, second as "%02d.%02d.%04d.%02d.%02d.%02d" reads them.
std::array<int, 6> ReadDate(std::u16string_view text) {
    constexpr std::array<size_t, 6> kWidths = {2, 2, 4, 2, 2, 2};
    std::array<int, 6> fields{};
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!ReadNumber(text, kWidths[i], fields[i])) {
            break;
        }
        if (i + 1 < fields.size()) {
            if (text.empty() || text.front() != u'.') {
                break;
            }
            text.remove_prefix(1);
        }
    }
    return fields;
}

}  // namespace

std::u16string DumpHistoryKey(std::u16string_view fileName) {
    const size_t marker = fileName.find(kMarker);
    if (marker == std::u16string_view::npos) {
        return {};
    }
    const auto [day, month, year, hour, minute, second] =
        ReadDate(fileName.substr(marker + kMarker.size(), kDateChars));
    return zeph::trace::FormatText(u"%02d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                                   second);
}

}  // namespace ExceptionTranslator
