#include "tracing/MethodTrace.h"

#include <algorithm>
#include <exception>

#include "platform/LocalTime.h"
#include "platform/ProcessClock.h"
#include "tracing/FormatExpander.h"
#include "tracing/Latin1.h"
#include "tracing/TraceInterface.h"

namespace {

constexpr char kUnwindingNote[] =
    "Fehlerinfo: StackUnwinding ~MethodTrace: Es ist eine Exception aufgetreten";

std::string ToTraceText(const char16_t* text) {
    return zeph::trace::ToLatin1(text, zeph::trace::kMaxTraceTextChars);
}

void AppendLineNumber(std::string& entry, int32_t line) {
    if (line > 0) {
        entry += " (" + std::to_string(line) + ")";
    }
}

std::string TimeOfEntry() {
    const zeph::platform::LocalTimeOfDay now = zeph::platform::LocalTimeOfDayNow();
    return zeph::trace::FormatText("%02d:%02d:%02d.%03d", now.hour, now.minute, now.second,
                                   now.millisecond);
}

bool PassesGate(uint16_t level, const char16_t* component, const char16_t* method,
                const char16_t* sourceFile, const char16_t* annotation) {
    return component != nullptr && *component != u'\0' && method != nullptr &&
           sourceFile != nullptr && annotation != nullptr &&
           TRC_ShouldTraceCategoryW(std::min(level, TRACE_ERROR), component);
}

}  // namespace

MethodTrace::MethodTrace(uint16_t level, const char16_t* component, const char16_t* method,
                         const char16_t* sourceFile, int32_t line, const char16_t* annotation)
    : m_nLevel(level) {
    if (!PassesGate(level, component, method, sourceFile, annotation)) {
        return;
    }
    // Only an active scope ever reads its start, so an untraced one costs the gate alone.
    m_nStartClock = zeph::platform::ProcessClockMs();
    m_bInactive = false;
    m_strComponent = ToTraceText(component);
    m_strMethod = ToTraceText(method);
    WriteOrDeferEntry(ToTraceText(sourceFile), ToTraceText(annotation), line);
}

void MethodTrace::Close() noexcept {
    try {
        if (std::uncaught_exceptions() > 0) {
            PrepareExceptionExit();
        }
        WriteExit();
    } catch (...) {
    }
}

void MethodTrace::SetReturnOk() {
    if (!m_bInactive) {
        m_strReturnValue = "ok";
    }
}

void MethodTrace::WriteOrDeferEntry(const std::string& sourceFile, const std::string& annotation,
                                    int32_t line) {
    if (TRC_ShouldTraceCategory(m_nLevel, m_strComponent.c_str())) {
        std::string entry = "---> Beginn: " + m_strMethod;
        AppendLineNumber(entry, line);
        if (!annotation.empty()) {
            entry += " '" + annotation + "'";
        }
        entry += " " + sourceFile;
        m_bEntryWritten = true;
        TRC_Write(m_nLevel, m_strComponent.c_str(), entry.c_str());
        return;
    }
    m_strDeferredEntry = "---> Beginn (" + TimeOfEntry() + "): " + m_strMethod;
    AppendLineNumber(m_strDeferredEntry, line);
    m_strDeferredEntry += " '" + annotation + "' " + sourceFile;
}

// The scope is left by an exception: report it at TRACE_EXCEPTION, with the entry line that
// was held back.
void MethodTrace::PrepareExceptionExit() {
    m_nLevel = TRACE_EXCEPTION;
    if (!m_bEntryWritten && TRC_ShouldTraceCategory(TRACE_EXCEPTION, m_strComponent.c_str())) {
        m_bEntryWritten = true;
        TRC_Write(TRACE_EXCEPTION, m_strComponent.c_str(), m_strDeferredEntry.c_str());
        m_strDeferredEntry.clear();
    }
    m_strReturnValue = kUnwindingNote;
}

void MethodTrace::WriteExit() {
    if (!TRC_ShouldTraceCategory(m_nLevel, m_strComponent.c_str())) {
        return;
    }
    const uint32_t elapsedTicks = static_cast<uint32_t>(zeph::platform::ProcessClockMs()) -
                                  static_cast<uint32_t>(m_nStartClock);
    const double seconds = static_cast<int32_t>(elapsedTicks) / 1000.0;
    std::string exitLine =
        "<--- Ende: " + m_strMethod + " (" + zeph::trace::FormatText("%0.3f", seconds) + " sec)";
    if (!m_strReturnValue.empty()) {
        exitLine += "\t Returnwert: " + m_strReturnValue;
    }
    TRC_Write(m_nLevel, m_strComponent.c_str(), exitLine.c_str());
}
