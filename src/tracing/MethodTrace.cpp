#include "tracing/MethodTrace.h"

#include <algorithm>
#include <exception>

#include "platform/ProcessClock.h"
#include "tracing/FormatExpander.h"
#include "tracing/TraceInterface.h"

using zeph::trace::kMaxTraceComponentChars;

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

std::string TimeOfDay(zeph::platform::WallClockReading reading) {
    const zeph::platform::LocalTimeOfDay time = zeph::platform::LocalTimeOfDayAt(reading);
    return zeph::trace::FormatText("%02d:%02d:%02d.%03d", time.hour, time.minute, time.second,
                                   time.millisecond);
}

}  // namespace

MethodTrace::MethodTrace(uint16_t level, const char16_t* component, const char16_t* method,
                         const char16_t* sourceFile, int32_t line, const char16_t* annotation)
    : m_nLevel(level),
      m_nLine(line),
      m_pComponent(component),
      m_pMethod(method),
      m_pSourceFile(sourceFile),
      m_pAnnotation(annotation) {
    if (method == nullptr || sourceFile == nullptr || annotation == nullptr ||
        !Open(std::min(level, TRACE_ERROR), component)) {
        return;
    }
    // Only an active scope ever reads its start, so an untraced one costs the gate alone.
    m_nStartClock = zeph::platform::ProcessClockMs();
    m_bInactive = false;
    WriteOrDeferEntry();
}

// The gate: converts the component into the scope's category, as TRC_ShouldTraceCategoryW
// would, and asks whether it is traced at `gateLevel`.
bool MethodTrace::Open(uint16_t gateLevel, const char16_t* component) {
    const size_t length = zeph::trace::ToLatin1(component, m_szComponent, kMaxTraceComponentChars);
    if (length == 0) {
        return false;
    }
    m_bComponentCut = length == kMaxTraceComponentChars && component[length] != u'\0';
    return TRC_ShouldTraceCategory(gateLevel, m_szComponent);
}

void MethodTrace::Close() noexcept {
    try {
        // Left by an exception: both lines at TRACE_EXCEPTION, the entry line if it was held
        // back.
        if (std::uncaught_exceptions() > 0) {
            m_nLevel = TRACE_EXCEPTION;
            WriteDeferredEntry();
            m_szReturnValue = kUnwindingNote;
        }
        WriteExit();
    } catch (...) {
    }
}

void MethodTrace::SetReturnOk() {
    if (!m_bInactive) {
        m_szReturnValue = "ok";
    }
}

void MethodTrace::WriteOrDeferEntry() {
    if (!Traces(m_nLevel)) {
        m_entryTime = zeph::platform::WallClockNow();
        return;
    }
    std::string entry = "---> Beginn: " + ToTraceText(m_pMethod);
    AppendLineNumber(entry, m_nLine);
    const std::string annotation = ToTraceText(m_pAnnotation);
    if (!annotation.empty()) {
        entry.append(" '").append(annotation).append("'");
    }
    entry.append(" ").append(ToTraceText(m_pSourceFile));
    m_bEntryWritten = true;
    Write(m_nLevel, entry);
}

// The entry line held back at construction, with the time of entry and always with the quoted
// annotation.
void MethodTrace::WriteDeferredEntry() {
    if (m_bEntryWritten || !Traces(TRACE_EXCEPTION)) {
        return;
    }
    std::string entry = "---> Beginn (" + TimeOfDay(m_entryTime) + "): " + ToTraceText(m_pMethod);
    AppendLineNumber(entry, m_nLine);
    entry.append(" '").append(ToTraceText(m_pAnnotation));
    entry.append("' ").append(ToTraceText(m_pSourceFile));
    m_bEntryWritten = true;
    Write(TRACE_EXCEPTION, entry);
}

void MethodTrace::WriteExit() {
    if (!Traces(m_nLevel)) {
        return;
    }
    const uint32_t elapsedTicks = static_cast<uint32_t>(zeph::platform::ProcessClockMs()) -
                                  static_cast<uint32_t>(m_nStartClock);
    const double seconds = static_cast<int32_t>(elapsedTicks) / 1000.0;
    std::string exitLine = "<--- Ende: " + ToTraceText(m_pMethod) + " (" +
                           zeph::trace::FormatText("%0.3f", seconds) + " sec)";
    if (*m_szReturnValue != '\0') {
        exitLine += "\t Returnwert: ";
        exitLine += m_szReturnValue;
    }
    Write(m_nLevel, exitLine);
}

// A component longer than the category the gate queried is named in full, cut only at the
// length of a text, as converted anew: the trace interface cuts only what it converts itself.
bool MethodTrace::Traces(uint16_t level) const {
    if (!m_bComponentCut) {
        return TRC_ShouldTraceCategory(level, m_szComponent);
    }
    return TRC_ShouldTraceCategory(level, ToTraceText(m_pComponent).c_str());
}

void MethodTrace::Write(uint16_t level, const std::string& text) const {
    if (!m_bComponentCut) {
        TRC_Write(level, m_szComponent, text.c_str());
        return;
    }
    TRC_Write(level, ToTraceText(m_pComponent).c_str(), text.c_str());
}
