// Scope object that writes the entry and exit lines of a traced operation.
//
// It opens only when its component is traced for errors (the smaller of its level and
// TRACE_ERROR). When the component is also traced at the scope's own level, the entry line is
// written at once; otherwise the scope notes the wall-clock time of entry and writes the entry
// line, with that time, only if the scope is left by an exception, so that every exception
// leaves a visible frame at TRACE_EXCEPTION even when method tracing is off. Line forms:
//
//   ---> Beginn: <method>[ (<line>)][ '<annotation>'] <source file>
//   ---> Beginn (hh:mm:ss.mmm): <method>[ (<line>)] '<annotation>' <source file>
//   <--- Ende: <method> (<seconds, %0.3f> sec)[\t Returnwert: <return text>]
//
// The lines are built only when they are written: a scope that is traced for errors alone and
// ends normally converts and formats nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/LocalTime.h"
#include "tracing/Latin1.h"

class MethodTrace {
  public:
    // The source file is the caller's full path and `line` its line number (left out when it is
    // not positive); the annotation is an optional text for the entry line. A null pointer
    // among them leaves the scope inactive.
    //
    // The texts are kept as the caller's pointers and converted only when a line is written,
    // up to the end of the scope: they must outlive it (string literals, or texts declared
    // before the scope). The component's category is taken at construction.
    MethodTrace(uint16_t level, const char16_t* component, const char16_t* method,
                const char16_t* sourceFile, int32_t line, const char16_t* annotation = u"");
    // Writes the exit line; never throws. An inactive scope has no component, so even when an
    // exception leaves it there is nothing to write: it returns at once.
    ~MethodTrace() {
        if (!m_bInactive) {
            Close();
        }
    }

    MethodTrace(const MethodTrace&) = delete;
    MethodTrace& operator=(const MethodTrace&) = delete;

    // The exit line shows "ok" as the return text (not on an inactive scope).
    void SetReturnOk();

  private:
    bool Open(uint16_t gateLevel, const char16_t* component);
    void WriteOrDeferEntry();
    void Close() noexcept;
    void WriteDeferredEntry();
    void WriteExit();
    bool Traces(uint16_t level) const;
    void Write(uint16_t level, const std::string& text) const;

    bool m_bInactive = true;
    bool m_bEntryWritten = false;
    bool m_bComponentCut = false;  // longer than a component the trace interface queries
    uint16_t m_nLevel;
    int32_t m_nLine;
    int32_t m_nStartClock = 0;                     // read only by an active scope
    zeph::platform::WallClockReading m_entryTime;  // taken only when the entry line is deferred
    const char16_t* m_pComponent;
    const char16_t* m_pMethod;
    const char16_t* m_pSourceFile;
    const char16_t* m_pAnnotation;
    const char* m_szReturnValue = "";                              // empty: no return text
    char m_szComponent[zeph::trace::kMaxTraceComponentChars + 1];  // filled by an active scope
};
