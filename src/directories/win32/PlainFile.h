// Whether an opened file is a plain file: on disk, no link, junction or other reparse point, no
// directory or device, and with no other name (a hard link to another file would pass every other
// test). The trace files and the crash dumps are written only into such a file.
#pragma once

#include <windows.h>

namespace configdb {

inline constexpr DWORD kNoPlainFileAttributes =
    FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;

inline bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, &information) != 0 &&
           (information.dwFileAttributes & kNoPlainFileAttributes) == 0 &&
           information.nNumberOfLinks == 1;
}

}  // namespace configdb
