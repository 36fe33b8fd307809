// The file-system calls of the directory library, on real files of the platform: existence tests,
// directory creation, the thread's last error code and appending to a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace configdb {

// The platform's error code for "a file of that name exists" (ERROR_FILE_EXISTS; EEXIST).
extern const uint32_t kErrorFileExists;

// True when the path is not empty and an entry of that name exists (a file counts as well as a
// directory): _access_s / _waccess_s in existence mode on Windows, access(F_OK) on Linux.
bool PathExists(const std::string& path);
bool PathExists(const std::u16string& path);

enum class EntryKind { Missing, Directory, Other };
EntryKind EntryKindOf(const std::u16string& path);

// Whom a directory the library creates serves. Per-user places (below the user's own shell
// folders and the temporary directory) are the user's alone: mode 0700 on Linux. Machine-wide
// places (the program-data folder, a directory the registry names, any path CDB_CreateDirectory is
// given) get the platform's default: mode 0777 before the umask on Linux. On Windows both inherit
// the parent's access list, which for the per-user places is the profile's (the user, SYSTEM and
// Administrators).
enum class DirectoryScope { PerUser, MachineWide };

// Creates one directory; false with the thread's last error set when it fails.
bool MakeOneDirectory(const std::u16string& path, DirectoryScope scope);

// The calling thread's last error code (GetLastError; errno on Linux), and setting it.
uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);

enum class AppendResult {
    Written,
    NotWritten,  // the file could not be opened (a missing directory) or written
    Refused,     // the name is no plain file: a link, a directory, a device, a pipe, or a file with
                 // more than one name (a hard link)
};

// Opens the file for writing, creating it when missing (shared for reading), writes the bytes at
// its end and closes it. The name is never followed through a link (O_NOFOLLOW;
// FILE_FLAG_OPEN_REPARSE_POINT), and what it opens is checked before anything is written, so that
// a link planted under a trace file's fixed name cannot make the process append to a file of
// another's choosing. A file it creates gets the platform's default rights (0666 before the umask
// on Linux; the folder's inherited access list on Windows): processes of several users share the
// trace files. A link in a directory part of the path is followed: the directory is configured.
AppendResult AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace configdb
