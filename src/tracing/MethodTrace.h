// Scope object that writes the entry and exit lines of a traced operation.
//
// It opens only when its component is traced for errors (the smaller of its level and
// TRACE_ERROR). When the component is also traced at the scope's own level, the entry line is
// written at once; otherwise it is prepared with the wall-clock time of entry and written only
// if the scope is left by an exception, so that every exception leaves a visible frame at
// TRACE_EXCEPTION even when method tracing is off. Line forms:
//
//   ---> Beginn: <method>[ (<line>)][ '<annotation>'] <source file>
//   ---> Beginn (hh:mm:ss.mmm): <method>[ (<line>)] '<annotation>' <source file>
//   <--- Ende: <method> (<seconds, %0.3f> sec)[\t Returnwert: <return text>]
#pragma once

#include <cstdint>
#include <string>

class MethodTrace {
  public:
    // The source file is the caller's full path and `line` its line number (left out when it is
    // not positive); the annotation is an optional text for the entry line. A null pointer
    // among them leaves the scope inactive.
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
    void WriteOrDeferEntry(const std::string& sourceFile, const std::string& annotation,
                           int32_t line);
    void Close() noexcept;
    void PrepareExceptionExit();
    void WriteExit();

    bool m_bInactive = true;
    bool m_bEntryWritten = false;
    uint16_t m_nLevel;
    int32_t m_nStartClock = 0;  // read only by an active scope
    std::string m_strComponent;
    std::string m_strMethod;
    std::string m_strReturnValue;
    std::string m_strDeferredEntry;
};
