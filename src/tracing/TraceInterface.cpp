#include "tracing/TraceInterface.h"

#include "tracing/Latin1.h"

using zeph::trace::kMaxTraceComponentChars;
using zeph::trace::kMaxTraceTextChars;
using zeph::trace::ToLatin1;

namespace {

bool IsEmpty(const char16_t* text) {
    return text == nullptr || *text == u'\0';
}

// Expands into `text` (kMaxTraceTextChars + 1 bytes) as ISO 8859-1; empty when the format is
// invalid or the expansion fails.
void ExpandToLatin1(const char16_t* format, std::span<const zeph::trace::FormatArg> args,
                    char* text) noexcept {
    try {
        zeph::trace::Latin1Writer writer(text, kMaxTraceTextChars);
        if (zeph::trace::ExpandFormat(format, args, writer)) {
            writer.Finish();
            return;
        }
    } catch (...) {
    }
    text[0] = '\0';
}

// Converts the component and hands the line over; an empty component drops it.
void DeliverLine(uint16_t level, const char16_t* component, const char* text) noexcept {
    try {
        char narrowComponent[kMaxTraceComponentChars + 1];
        ToLatin1(component, narrowComponent, kMaxTraceComponentChars);
        TraceSystemLib::Instance().Write(level, narrowComponent, text);
    } catch (...) {
    }
}

}  // namespace

bool TRC_ShouldTraceCategoryW(uint16_t level, const char16_t* component) noexcept {
    if (IsEmpty(component)) {
        return false;
    }
    char narrowComponent[kMaxTraceComponentChars + 1];
    if (ToLatin1(component, narrowComponent, kMaxTraceComponentChars) == 0) {
        return false;
    }
    return TRC_ShouldTraceCategory(level, narrowComponent);
}

void TRC_Write(uint16_t level, const char* component, const char* text) noexcept {
    if (component == nullptr || *component == '\0' || text == nullptr || !TRC_ShouldTrace(level)) {
        return;
    }
    try {
        TraceSystemLib::Instance().Write(level, component, text);
    } catch (...) {
    }
}

void TRC_WriteW(uint16_t level, const char16_t* component, const char16_t* text) noexcept {
    if (IsEmpty(component) || text == nullptr || !TRC_ShouldTrace(level)) {
        return;
    }
    char narrowText[kMaxTraceTextChars + 1];
    ToLatin1(text, narrowText, kMaxTraceTextChars);
    DeliverLine(level, component, narrowText);
}

namespace zeph::trace {

void WriteFormattedTrace(uint16_t level, const char16_t* component, const char16_t* format,
                         std::span<const FormatArg> args) noexcept {
    char text[kMaxTraceTextChars + 1];
    ExpandToLatin1(format, args, text);
    DeliverLine(level, component, text);
}

}  // namespace zeph::trace

#ifdef _WIN32
bool TRC_ShouldTraceCategoryW(uint16_t level, const wchar_t* component) noexcept {
    return TRC_ShouldTraceCategoryW(level, zeph::platform::AsChar16(component));
}

void TRC_WriteW(uint16_t level, const wchar_t* component, const wchar_t* text) noexcept {
    TRC_WriteW(level, zeph::platform::AsChar16(component), zeph::platform::AsChar16(text));
}
#endif
