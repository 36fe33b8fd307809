#include "tracing/Latin1.h"

#include <algorithm>

namespace zeph::trace {
namespace {

constexpr char16_t kLastLatin1 = 0xFF;

size_t BoundedLength(const char16_t* text, size_t limit) noexcept {
    size_t length = 0;
    while (length < limit && text[length] != u'\0') {
        ++length;
    }
    return length;
}

constexpr size_t kStep = 4;

// Copies the units of one step up to the terminator; returns how many it copied.
inline size_t CopyStep(const char16_t* text, char* out, char16_t& seen) noexcept {
    for (size_t i = 0; i < kStep; ++i) {
        if (text[i] == u'\0') {
            return i;
        }
        seen = static_cast<char16_t>(seen | text[i]);
        out[i] = static_cast<char>(text[i]);
    }
    return kStep;
}

}  // namespace

void Latin1Writer::Append(std::u16string_view text) {
    const size_t count = std::min(text.size(), m_limit - m_length);
    char* out = m_buffer + m_length;
    char16_t seen = 0;  // all units or-ed together: one test after a loop the compiler vectorises
    for (size_t i = 0; i < count; ++i) {
        seen = static_cast<char16_t>(seen | text[i]);
        out[i] = static_cast<char>(text[i]);
    }
    m_length += count;
    if (seen > kLastLatin1) {
        Reject();
    }
}

void Latin1Writer::AppendRepeated(char16_t unit, size_t count) {
    count = std::min(count, m_limit - m_length);
    if (count > 0 && unit > kLastLatin1) {
        Reject();
        return;
    }
    std::fill_n(m_buffer + m_length, count, static_cast<char>(unit));
    m_length += count;
}

size_t Latin1Writer::Finish() noexcept {
    const size_t length = m_valid ? m_length : 0;
    m_buffer[length] = '\0';
    return length;
}

// A rejected text stays empty; filling the limit makes every later append a no-op.
void Latin1Writer::Reject() noexcept {
    m_valid = false;
    m_length = m_limit;
}

size_t ToLatin1(std::u16string_view text, char* buffer, size_t limit) noexcept {
    Latin1Writer writer(buffer, limit);
    writer.Append(text);
    return writer.Finish();
}

// One pass that measures and converts, four units a step where the limit leaves room: component
// names are short and on the hot path (the category query of every trace scope converts one),
// and a step tests the limit once instead of four times.
size_t ToLatin1(const char16_t* text, char* buffer, size_t limit) noexcept {
    size_t length = 0;
    char16_t seen = 0;
    if (text != nullptr) {
        size_t copied = kStep;
        while (copied == kStep && limit - length >= kStep) {
            copied = CopyStep(text + length, buffer + length, seen);
            length += copied;
        }
        for (; copied == kStep && length < limit && text[length] != u'\0'; ++length) {
            seen = static_cast<char16_t>(seen | text[length]);
            buffer[length] = static_cast<char>(text[length]);
        }
    }
    length = seen > kLastLatin1 ? 0 : length;
    buffer[length] = '\0';
    return length;
}

std::string ToLatin1(const char16_t* text, size_t limit) {
    if (text == nullptr) {
        return {};
    }
    const std::u16string_view units(text, BoundedLength(text, limit));
    std::string result(units.size(), '\0');
    result.resize(ToLatin1(units, result.data(), units.size()));
    return result;
}

}  // namespace zeph::trace
