#include "directories/posix/KnownFolders.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A user folder of the XDG base directories: its variable and its default under the home.
struct XdgFolder {
    const char* variable;
    const char* defaultUnderHome;
};

XdgFolder XdgFolderOf(KnownFolder folder) {
    switch (folder) {
        case KnownFolder::LocalAppDataLow:
            return {"XDG_STATE_HOME", "/.local/state"};
        case KnownFolder::LocalAppData:
            return {"XDG_DATA_HOME", "/.local/share"};
        case KnownFolder::RoamingAppData:
            return {"XDG_CONFIG_HOME", "/.config"};
        default:
            return {nullptr, nullptr};
    }
}

// XDG counts a variable that is unset, empty or not an absolute path as unset.
const char* AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

// $HOME, else the home directory of the user's account entry; empty when there is none.
std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The folder's path; empty when it has none (no home directory).
std::string FolderPath(KnownFolder folder, uint32_t flags) {
    if (folder == KnownFolder::ProgramData) {
        return "/var/lib";
    }
    if (folder == KnownFolder::ProgramFilesX86) {
        return "/opt";
    }
    const XdgFolder xdg = XdgFolderOf(folder);
    if ((flags & kKnownFolderDefaultPath) == 0) {
        if (const char* value = AbsoluteVariable(xdg.variable)) {
            return WithoutTrailingSeparators(value);
        }
    }
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : WithoutTrailingSeparators(home) + xdg.defaultUnderHome;
}

// Creates each missing directory along the absolute path; 0 or the errno of the failed step.
int MakeDirectories(const std::string& path, mode_t mode) {
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
            return errno;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return errno;
    }
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

int32_t HresultFromErrno(int error) {
    return static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu));
}

int32_t LinuxKnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) {
    std::string found = FolderPath(folder, flags);
    if (found.empty()) {
        return HresultFromErrno(ENOENT);
    }
    if ((flags & kKnownFolderCreate) != 0 && access(found.c_str(), F_OK) != 0) {
        // The XDG folders hold the user's own data: only the user may enter them.
        const mode_t mode = XdgFolderOf(folder).variable != nullptr ? 0700 : 0777;
        if (const int error = MakeDirectories(found, mode); error != 0) {
            return HresultFromErrno(error);
        }
    }
    path = std::move(found);
    return 0;
}
