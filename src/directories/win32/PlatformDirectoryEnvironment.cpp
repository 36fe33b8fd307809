#include "directories/DirectoryEnvironment.h"
#include "directories/win32/FileVersion.h"
#include "directories/win32/ModuleFileNames.h"
#include "directories/win32/OsVersion.h"
#include "directories/win32/ShellFolders.h"

namespace {

// The Win32 services behind the directory library.
class Win32DirectoryEnvironment final : public DirectoryEnvironment {
  public:
    RegistryApi& Registry() override { return PlatformRegistry(); }

    int32_t KnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) override {
        return ShellKnownFolderPath(folder, flags, path);
    }

    int32_t FolderPathByCsidl(int32_t csidl, std::string& path) override {
        return ShellFolderPathByCsidl(csidl, path);
    }

    std::string TempPath() override { return SystemTempPath(); }

    std::string ModuleFileName(bool thisModule) override {
        return ModuleFileNameNarrow(thisModule);
    }

    std::u16string ThisModulePathWide() override { return ThisModuleFileNameWide(); }

    OsVersionReading ReadOsVersion() override { return ReadKernelOsVersion(); }

    FileVersionReading ReadFileVersion(const std::u16string& path) override {
        return ReadVersionResource(path);
    }
};

}  // namespace

DirectoryEnvironment& PlatformDirectoryEnvironment() {
    static Win32DirectoryEnvironment environment;
    return environment;
}
