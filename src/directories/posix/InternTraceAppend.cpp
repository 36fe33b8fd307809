#include "directories/InternTraceAppend.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace configdb {

// O_APPEND puts every write at the end of the file as it is then, so lines of writers that did
// not get the mutex still do not overwrite each other.
void AppendInternTraceBytes(const std::string& file, std::string_view bytes) noexcept {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return;
    }
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    close(fd);
}

}  // namespace configdb
