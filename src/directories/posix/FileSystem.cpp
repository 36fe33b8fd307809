#include "directories/FileSystem.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/TextConversion.h"

namespace configdb {

const uint32_t kErrorFileExists = EEXIST;

bool PathExists(const std::string& path) {
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

bool PathExists(const std::u16string& path) {
    return PathExists(zeph::platform::WideToNarrow(path));
}

EntryKind EntryKindOf(const std::u16string& path) {
    struct stat status {};
    if (stat(zeph::platform::WideToNarrow(path).c_str(), &status) != 0) {
        return EntryKind::Missing;
    }
    return S_ISDIR(status.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

bool MakeOneDirectory(const std::u16string& path, DirectoryScope scope) {
    const mode_t mode = scope == DirectoryScope::PerUser ? 0700 : 0777;
    return mkdir(zeph::platform::WideToNarrow(path).c_str(), mode) == 0;
}

uint32_t LastErrorCode() {
    return static_cast<uint32_t>(errno);
}

void SetLastErrorCode(uint32_t code) {
    errno = static_cast<int>(code);
}

namespace {

// write() may take fewer bytes than asked (or be interrupted): go on until all are written.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Errors of open() that say the name is taken by something other than a plain file: a symbolic
// link (O_NOFOLLOW), a directory, a pipe without reader or a device without driver.
bool NamesNoPlainFile(int error) {
    return error == ELOOP || error == EISDIR || error == ENXIO || error == ENODEV;
}

bool IsPlainFile(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1;
}

}  // namespace

AppendResult AppendToFile(const std::string& path, std::string_view bytes) {
    // O_NONBLOCK and O_NOCTTY: a pipe or terminal planted under the name neither blocks the open
    // nor becomes the process's terminal; on a regular file they change nothing.
    constexpr int kFlags =
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    const int fd = open(path.c_str(), kFlags, 0666);
    if (fd < 0) {
        return NamesNoPlainFile(errno) ? AppendResult::Refused : AppendResult::NotWritten;
    }
    AppendResult result = AppendResult::Refused;
    if (IsPlainFile(fd)) {
        result = WriteAll(fd, bytes) ? AppendResult::Written : AppendResult::NotWritten;
    }
    const int savedError = errno;
    close(fd);
    errno = savedError;
    return result;
}

}  // namespace configdb
