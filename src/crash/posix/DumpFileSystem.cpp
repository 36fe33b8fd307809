#include "crash/DumpFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "crash/posix/WildcardMatch.h"
#include "platform/TextConversion.h"

namespace ExceptionTranslator {

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;

namespace {

// The entry itself, not what a link names.
bool IsRegularFile(int directory, const char* name) {
    struct stat status {};
    return fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::vector<std::u16string> FindDumpFiles(const std::u16string& mask) {
    const size_t separator = mask.rfind(u'/');
    const std::string directory =
        separator == std::u16string::npos ? "." : WideToNarrow(mask.substr(0, separator + 1));
    const std::u16string pattern =
        separator == std::u16string::npos ? mask : mask.substr(separator + 1);
    std::vector<std::u16string> names;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(listing)) {
        std::u16string name = NarrowToWide(entry->d_name);
        if (WildcardMatch(pattern, name) && IsRegularFile(dirfd(listing), entry->d_name)) {
            names.push_back(std::move(name));
        }
    }
    closedir(listing);
    return names;
}

uint32_t DeleteDumpFile(const std::u16string& path) {
    return unlink(WideToNarrow(path).c_str()) == 0 ? 0 : static_cast<uint32_t>(errno);
}

}  // namespace ExceptionTranslator
