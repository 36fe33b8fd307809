#include <cstdlib>

#include "directories/DirectoryEnvironment.h"
#include "directories/posix/ElfVersionNote.h"
#include "directories/posix/KnownFolders.h"
#include "directories/posix/ModuleFileNames.h"
#include "platform/TextConversion.h"

namespace {

constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001u);  // E_NOTIMPL

// The Linux services behind the directory library: the XDG folders, $TMPDIR, the file names of
// this library and of the executable, and the version notes of ELF files. There is no Windows
// version to report, and no CSIDL folders (the library asks for them only on old Windows).
class PosixDirectoryEnvironment final : public DirectoryEnvironment {
  public:
    RegistryApi& Registry() override { return PlatformRegistry(); }

    int32_t KnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) override {
        return LinuxKnownFolderPath(folder, flags, path);
    }

    int32_t FolderPathByCsidl(int32_t, std::string&) override { return kNotImplemented; }

    // $TMPDIR when it names an absolute path, else /tmp/; always with a trailing separator.
    std::string TempPath() override {
        const char* variable = std::getenv("TMPDIR");
        std::string path = variable != nullptr && variable[0] == '/' ? variable : "/tmp/";
        if (path.back() != '/') {
            path.push_back('/');
        }
        return path;
    }

    std::string ModuleFileName(bool thisModule) override {
        return thisModule ? ThisModuleFileName() : ExecutableFileName();
    }

    std::u16string ThisModulePathWide() override {
        return zeph::platform::NarrowToWide(ThisModuleFileName());
    }

    OsVersionReading ReadOsVersion() override { return {}; }

    FileVersionReading ReadFileVersion(const std::u16string& path) override {
        return ReadElfVersionNote(zeph::platform::WideToNarrow(path));
    }
};

}  // namespace

DirectoryEnvironment& PlatformDirectoryEnvironment() {
    static PosixDirectoryEnvironment environment;
    return environment;
}
