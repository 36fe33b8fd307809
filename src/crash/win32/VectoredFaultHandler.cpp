// The process-wide vectored exception handler: it acts on processor faults of marked threads
// inside an operation, runs the crash procedure in the handler (where the exception pointers are
// the real ones for the dump) and then resumes the thread in a frame that throws the fault to the
// operation's barrier. Every other exception goes on to the next handler untouched.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>

#include "crash/CrashProcedure.h"
#include "crash/FaultHandler.h"
#include "crash/win32/FaultTrampoline.h"
#include "crash/win32/ThreadFaultFlags.h"
#include "platform/OperationDepth.h"

namespace ExceptionTranslator {

namespace {

// Faults of the processor and of memory. A stack overflow is not among them: the procedure would
// need the stack that is gone. Language exceptions (C++, GCC's), debugger output, thread naming,
// breakpoints and single steps are not faults at all.
constexpr DWORD kProcessorFaults[] = {
    EXCEPTION_ACCESS_VIOLATION,      EXCEPTION_IN_PAGE_ERROR,       EXCEPTION_DATATYPE_MISALIGNMENT,
    EXCEPTION_ARRAY_BOUNDS_EXCEEDED, EXCEPTION_ILLEGAL_INSTRUCTION, EXCEPTION_PRIV_INSTRUCTION,
    EXCEPTION_INT_DIVIDE_BY_ZERO,    EXCEPTION_INT_OVERFLOW,        EXCEPTION_FLT_DENORMAL_OPERAND,
    EXCEPTION_FLT_DIVIDE_BY_ZERO,    EXCEPTION_FLT_INEXACT_RESULT,  EXCEPTION_FLT_INVALID_OPERATION,
    EXCEPTION_FLT_OVERFLOW,          EXCEPTION_FLT_STACK_CHECK,     EXCEPTION_FLT_UNDERFLOW,
};

bool IsProcessorFault(DWORD code) {
    return std::find(std::begin(kProcessorFaults), std::end(kProcessorFaults), code) !=
           std::end(kProcessorFaults);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!IsProcessorFault(code) || !ThreadIsMarked() || zeph::platform::OperationDepth() == 0) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // A fault inside the procedure itself goes on to the frame handlers: code that guards its own
    // calls keeps working, and a fault nobody catches ends the process as an unhandled one.
    if (ThreadInProcedure()) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    SetThreadInProcedure(true);
    TranslateSEHExceptionToStdException(code, pointers);
    SetThreadInProcedure(false);
    RedirectToFaultThrower(*pointers->ContextRecord, code);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Added once; removed when the module unloads.
class VectoredHandler {
  public:
    void Add() noexcept {
        void* expected = nullptr;
        void* handle = AddVectoredExceptionHandler(1, &OnException);
        if (!m_handle.compare_exchange_strong(expected, handle) && handle != nullptr) {
            RemoveVectoredExceptionHandler(handle);
        }
    }
    ~VectoredHandler() {
        if (void* handle = m_handle.exchange(nullptr); handle != nullptr) {
            RemoveVectoredExceptionHandler(handle);
        }
    }

  private:
    std::atomic<void*> m_handle{nullptr};
};

VectoredHandler g_handler;

}  // namespace

void InstallProcessFaultHandler() noexcept {
    static const bool installed = [] {
        g_handler.Add();
        return true;
    }();
    static_cast<void>(installed);
}

void MarkThreadForFaults() noexcept {
    MarkThread();
}

}  // namespace ExceptionTranslator
