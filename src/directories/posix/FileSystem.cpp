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

}  // namespace

bool AppendToFile(const std::string& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, bytes);
    const int savedError = errno;
    close(fd);
    errno = savedError;
    return written;
}

}  // namespace configdb
