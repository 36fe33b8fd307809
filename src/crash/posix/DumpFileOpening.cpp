#include "crash/posix/DumpFileOpening.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ExceptionTranslator::minidump {
namespace {

// O_NONBLOCK and O_NOCTTY: a pipe or terminal planted under the name neither blocks the open nor
// becomes the process's terminal; on a regular file they change nothing.
constexpr int kOpenFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
constexpr mode_t kOwnerOnly = 0600;

// An earlier dump of this process's user: a regular file with no other name (a hard link to
// another file would pass every other test).
bool IsOwnDump(int fd) noexcept {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
           status.st_nlink == 1;
}

int Refuse(int fd, DumpFileOutcome& outcome) noexcept {
    close(fd);
    outcome = DumpFileOutcome::Refused;
    return -1;
}

int OpenEarlierDump(const char* path, DumpFileOutcome& outcome) noexcept {
    const int fd = open(path, kOpenFlags);
    if (fd < 0) {
        // Gone since: no dump. Anything else (a link, a directory, another user's file ...) holds
        // the name.
        outcome = errno == ENOENT ? DumpFileOutcome::Failed : DumpFileOutcome::Refused;
        return -1;
    }
    if (!IsOwnDump(fd)) {
        return Refuse(fd, outcome);
    }
    // Written before with other rights, perhaps: the owner's only from now on, then emptied.
    if (fchmod(fd, kOwnerOnly) != 0 || ftruncate(fd, 0) != 0) {
        close(fd);
        outcome = DumpFileOutcome::Failed;
        return -1;
    }
    return fd;
}

}  // namespace

int OpenDumpFile(const char* path, DumpFileOutcome& outcome) noexcept {
    const int fd = open(path, kOpenFlags | O_CREAT | O_EXCL, kOwnerOnly);
    if (fd >= 0) {
        fchmod(fd, kOwnerOnly);  // exactly 0600, whatever the umask took away
        return fd;
    }
    if (errno != EEXIST) {
        outcome = DumpFileOutcome::Failed;
        return -1;
    }
    return OpenEarlierDump(path, outcome);
}

}  // namespace ExceptionTranslator::minidump
