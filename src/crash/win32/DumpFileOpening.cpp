#include "crash/win32/DumpFileOpening.h"

#include "crash/win32/DumpFileSecurity.h"
#include "directories/win32/PlainFile.h"
#include "platform/TextConversion.h"

namespace ExceptionTranslator {
namespace {

// No sharing while the dump is written; READ_CONTROL and WRITE_DAC for the owner's check and the
// access list of an earlier dump.
constexpr DWORD kAccess = GENERIC_WRITE | READ_CONTROL | WRITE_DAC;
constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

bool Truncate(HANDLE file) {
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0 &&
           SetEndOfFile(file) != 0;
}

HANDLE Give(HANDLE file, DumpFileOutcome& outcome, DumpFileOutcome why) {
    CloseHandle(file);
    outcome = why;
    return INVALID_HANDLE_VALUE;
}

HANDLE OpenEarlierDump(const wchar_t* name, const DumpFileSecurity& security,
                       DumpFileOutcome& outcome) {
    const HANDLE file = CreateFileW(name, kAccess, 0, nullptr, OPEN_EXISTING, kFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Gone since: no dump. Anything else (a directory, a file the user may not write ...)
        // holds the name.
        const DWORD error = GetLastError();
        outcome =
            error == ERROR_FILE_NOT_FOUND ? DumpFileOutcome::Failed : DumpFileOutcome::Refused;
        return INVALID_HANDLE_VALUE;
    }
    if (!configdb::IsPlainFile(file) || !security.OwnsFile(file)) {
        return Give(file, outcome, DumpFileOutcome::Refused);
    }
    if (!security.ApplyTo(file) || !Truncate(file)) {
        return Give(file, outcome, DumpFileOutcome::Failed);
    }
    return file;
}

}  // namespace

HANDLE OpenDumpFile(const char16_t* fileName, DumpFileOutcome& outcome) {
    DumpFileSecurity security;
    outcome = DumpFileOutcome::Failed;
    if (security.Attributes() == nullptr) {
        return INVALID_HANDLE_VALUE;  // no dump rather than one every user may read
    }
    const wchar_t* name = zeph::platform::AsWChar(fileName);
    const HANDLE file =
        CreateFileW(name, kAccess, 0, security.Attributes(), CREATE_NEW, kFlags, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        return file;
    }
    if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) {
        return INVALID_HANDLE_VALUE;  // the name is free, the file could not be made
    }
    return OpenEarlierDump(name, security, outcome);
}

}  // namespace ExceptionTranslator
