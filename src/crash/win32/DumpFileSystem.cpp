#include "crash/DumpFileSystem.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace ExceptionTranslator {

using zeph::platform::AsChar16;
using zeph::platform::AsWChar;

std::vector<std::u16string> FindDumpFiles(const std::u16string& mask) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(AsWChar(mask.c_str()), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    constexpr DWORD kNoRegularFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    do {
        if ((found.dwFileAttributes & kNoRegularFile) == 0) {
            names.emplace_back(AsChar16(found.cFileName));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

uint32_t DeleteDumpFile(const std::u16string& path) {
    return DeleteFileW(AsWChar(path.c_str())) ? 0 : GetLastError();
}

}  // namespace ExceptionTranslator
