// A DirectoryEnvironment over a directory tree of the test's own and an in-memory registry.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "MemoryRegistry.h"
#include "TempDirectory.h"
#include "directories/ConfigDbContext.h"
#include "platform/TextConversion.h"

class FakeDirectoryEnvironment final : public DirectoryEnvironment {
  public:
    // The shell folders, the temporary directory, the module's directory and the executable's
    // (another one) exist below the root.
    FakeDirectoryEnvironment() {
        for (const auto& [folder, name] : {std::pair{KnownFolder::LocalAppDataLow, "LocalLow"},
                                           {KnownFolder::LocalAppData, "Local"},
                                           {KnownFolder::RoamingAppData, "Roaming"},
                                           {KnownFolder::ProgramData, "ProgramData"},
                                           {KnownFolder::ProgramFilesX86, "ProgramFiles"}}) {
            folders[folder] = Make(name);
        }
        for (const char* directory : {"Temp", "Module", "Host"}) {
            Make(directory);
        }
    }

    // The path below the root, with the platform's separators ("a/b/" keeps its trailing one).
    std::string Path(const std::string& relative) const {
        std::string path = m_root.Path().string() + kPathSeparator + relative;
        std::replace(path.begin(), path.end(), '/', kPathSeparator);
        return path;
    }
    std::string Make(const std::string& relative) const {
        std::filesystem::create_directories(Path(relative));
        return Path(relative);
    }
    // A REG_SZ value in the 32-bit view.
    void SetRegistry(const std::string& key, const std::string& name, const std::string& value) {
        registry.SetString(u"SOFTWARE\\WOW6432Node\\" + Wide(key.substr(key.find('\\') + 1)),
                           Wide(name), Wide(value));
    }

    RegistryApi& Registry() override { return registry; }
    int32_t KnownFolderPath(KnownFolder folder, uint32_t, std::string& path) override {
        path = folders.contains(folder) ? folders[folder] : std::string();
        return path.empty() ? static_cast<int32_t>(0x80070002u) : 0;  // a missing one
    }
    int32_t FolderPathByCsidl(int32_t, std::string& path) override {
        path = folders[KnownFolder::LocalAppData];
        return 0;
    }
    std::string TempPath() override { return Path("Temp/"); }
    std::string ModuleFileName(bool thisModule) override {
        return Path(thisModule ? "Module/zeph_module" : "Host/host");
    }
    std::u16string ThisModulePathWide() override { return Wide(ModuleFileName(true)); }
    OsVersionReading ReadOsVersion() override { return osVersion; }
    FileVersionReading ReadFileVersion(const std::u16string&) override { return {}; }

    MemoryRegistry registry;
    OsVersionReading osVersion;
    std::map<KnownFolder, std::string> folders;

  private:
    static std::u16string Wide(const std::string& text) {
        return zeph::platform::NarrowToWide(text);
    }

    TempDirectory m_root;
};
