// Writing a dump with dbghelp's MiniDumpWriteDump, loaded by name at the moment of the crash.
#include <windows.h>
// dbghelp.h needs the types of windows.h first.
#include <dbghelp.h>

#include "crash/CrashComponent.h"
#include "crash/DumpTrace.h"
#include "crash/MiniDumps.h"
#include "crash/win32/DumpFileOpening.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

void WriteDumpFile(MiniDumpWriteDumpFunction writeDump, const CrashRecord* record,
                   const char16_t* fileName) {
    DumpFileOutcome outcome = DumpFileOutcome::Failed;
    const HANDLE file = OpenDumpFile(fileName, outcome);
    if (file == INVALID_HANDLE_VALUE) {
        if (outcome == DumpFileOutcome::Refused) {
            TraceRefusedDumpFile(fileName);
        }
        return;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = GetCurrentThreadId();
    exception.ExceptionPointers = const_cast<EXCEPTION_POINTERS*>(record);
    exception.ClientPointers = FALSE;
    // No callback: Wine's dbghelp calls the routine of a callback record without checking it, so
    // a record without routine is passed as none.
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpWithDataSegs,
              record != nullptr ? &exception : nullptr, nullptr, nullptr);
    CloseHandle(file);
}

}  // namespace

void CreateMiniDump(const CrashRecord* record, const char16_t* fileName) noexcept {
    try {
        MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::CreateMiniDump",
                          kDumpSource, __LINE__);
        if (fileName == nullptr || *fileName == u'\0') {
            return;
        }
        const HMODULE dbghelp = LoadLibraryW(L"dbghelp.dll");
        if (dbghelp == nullptr) {
            return;
        }
        const auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
        if (writeDump != nullptr) {
            WriteDumpFile(writeDump, record, fileName);
        }
        FreeLibrary(dbghelp);
    } catch (...) {  // no dump
    }
}

}  // namespace ExceptionTranslator
