#include "directories/InternTraceAppend.h"

#include <windows.h>

namespace configdb {

// Others may read the file meanwhile, not write it: a writer that finds it open for writing
// (one that did not get the mutex) loses its line.
void AppendInternTraceBytes(const std::string& file, std::string_view bytes) noexcept {
    const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return;
    }
    SetFilePointer(handle, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
}

}  // namespace configdb
