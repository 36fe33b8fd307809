// The trace calls of the module. None of them reports a failure or lets an exception pass; a
// line that cannot be delivered is dropped.
//
// Texts reach the trace system as ISO 8859-1 (see Latin1.h): components cut at 127 characters,
// texts at 4,095. A component that does not convert drops the line; a text that does not
// convert is delivered empty.
#pragma once

#include <cstdint>
#include <span>

#include "tracing/FormatArg.h"
#include "tracing/FormatExpander.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSystemLib.h"

#ifdef _WIN32
#include "platform/TextConversion.h"
#endif

// True when the trace system is available and traces the level.
inline bool TRC_ShouldTrace(uint16_t level) noexcept {
    try {
        return TraceSystemLib::Instance().ShouldTrace(level);
    } catch (...) {
        return false;
    }
}

// False for a null or empty component; else the trace system's answer for that category.
inline bool TRC_ShouldTraceCategory(uint16_t level, const char* component) noexcept {
    try {
        return TraceSystemLib::Instance().ShouldTraceCategory(level, component);
    } catch (...) {
        return false;
    }
}

// As TRC_ShouldTraceCategory after converting the component; false when it does not convert.
bool TRC_ShouldTraceCategoryW(uint16_t level, const char16_t* component) noexcept;

// Writes the line when the level is traced, the component is not empty and the text not null.
void TRC_Write(uint16_t level, const char* component, const char* text) noexcept;

// Converts component and text and writes the line, under the same conditions as TRC_Write.
void TRC_WriteW(uint16_t level, const char16_t* component, const char16_t* text) noexcept;

namespace zeph::trace {
// The part of TRC_WriteFormat after its gates: expansion, conversion and delivery. An invalid
// format or a failed expansion delivers an empty text.
void WriteFormattedTrace(uint16_t level, const char16_t* component, const char16_t* format,
                         std::span<const FormatArg> args) noexcept;
}  // namespace zeph::trace

// The formatted trace call (wide format, see FormatExpander.h). A null or empty component, a
// null format or an untraced level return before any argument is captured or expanded, so an
// untraced line costs one query of the trace system.
template <typename... Args>
void TRC_WriteFormat(uint16_t level, const char16_t* component, const char16_t* format,
                     const Args&... args) noexcept {
    if (component == nullptr || *component == u'\0' || format == nullptr) {
        return;
    }
    if (!TRC_ShouldTrace(level)) {
        return;
    }
    try {
        const auto packed = zeph::trace::PackFormatArgs(args...);
        zeph::trace::WriteFormattedTrace(level, component, format, packed);
    } catch (...) {  // an argument's own conversion threw: the line is lost
    }
}

#ifdef _WIN32
// The Win32 spelling of the same UTF-16 texts.
bool TRC_ShouldTraceCategoryW(uint16_t level, const wchar_t* component) noexcept;
void TRC_WriteW(uint16_t level, const wchar_t* component, const wchar_t* text) noexcept;

template <typename... Args>
void TRC_WriteFormat(uint16_t level, const wchar_t* component, const wchar_t* format,
                     const Args&... args) noexcept {
    TRC_WriteFormat(level, zeph::platform::AsChar16(component), zeph::platform::AsChar16(format),
                    args...);
}
#endif
