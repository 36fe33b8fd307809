#include "directories/FileSystem.h"

#include <algorithm>

#include <io.h>
#include <windows.h>

#include "directories/win32/PlainFile.h"
#include "platform/TextConversion.h"

using zeph::platform::AsWChar;

namespace configdb {

const uint32_t kErrorFileExists = ERROR_FILE_EXISTS;

// Mode 0 of the access test asks for existence only.
bool PathExists(const std::string& path) {
    return !path.empty() && _access_s(path.c_str(), 0) == 0;
}

bool PathExists(const std::u16string& path) {
    return !path.empty() && _waccess_s(AsWChar(path.c_str()), 0) == 0;
}

EntryKind EntryKindOf(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(AsWChar(path.c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return EntryKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory : EntryKind::Other;
}

// The parent's access list is inherited; for the per-user places that is the user profile's.
bool MakeOneDirectory(const std::u16string& path, DirectoryScope /*scope*/) {
    return CreateDirectoryW(AsWChar(path.c_str()), nullptr) != 0;
}

uint32_t LastErrorCode() {
    return GetLastError();
}

void SetLastErrorCode(uint32_t code) {
    SetLastError(code);
}

namespace {

// After a failed open: whether the name exists as something other than a plain file (a directory
// cannot be opened as a file; a link to one shows as a reparse point of its own).
bool NamesNoPlainFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNoPlainFileAttributes) != 0;
}

bool WriteAtEnd(HANDLE file, std::string_view bytes) {
    bool written = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
    while (written && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD done = 0;
        written = WriteFile(file, bytes.data(), chunk, &done, nullptr) != 0 && done > 0;
        bytes.remove_prefix(done);
    }
    return written;
}

}  // namespace

// FILE_FLAG_OPEN_REPARSE_POINT opens a link or junction itself instead of its target, and the
// check then refuses it.
AppendResult AppendToFile(const std::string& path, std::string_view bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return NamesNoPlainFile(path) ? AppendResult::Refused : AppendResult::NotWritten;
    }
    AppendResult result = AppendResult::Refused;
    if (IsPlainFile(file)) {
        result = WriteAtEnd(file, bytes) ? AppendResult::Written : AppendResult::NotWritten;
    }
    CloseHandle(file);
    return result;
}

}  // namespace configdb
