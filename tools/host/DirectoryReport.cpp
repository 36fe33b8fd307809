#include "DirectoryReport.h"

#include <filesystem>

#include "directories/ConfigDB.h"
#include "directories/DirectoryQueries.h"
#include "platform/TextConversion.h"

namespace {

// The platform's services, with the module's file name in place of this program's: the library
// linked into the tool then answers what it answers inside the module.
class ModuleEnvironment final : public DirectoryEnvironment {
  public:
    explicit ModuleEnvironment(std::string moduleFile)
        : m_platform(PlatformDirectoryEnvironment()), m_moduleFile(std::move(moduleFile)) {}

    RegistryApi& Registry() override { return m_platform.Registry(); }
    int32_t KnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) override {
        return m_platform.KnownFolderPath(folder, flags, path);
    }
    int32_t FolderPathByCsidl(int32_t csidl, std::string& path) override {
        return m_platform.FolderPathByCsidl(csidl, path);
    }
    std::string TempPath() override { return m_platform.TempPath(); }
    std::string ModuleFileName(bool thisModule) override {
        return thisModule ? m_moduleFile : m_platform.ModuleFileName(false);
    }
    std::u16string ThisModulePathWide() override {
        return zeph::platform::NarrowToWide(m_moduleFile);
    }
    OsVersionReading ReadOsVersion() override { return m_platform.ReadOsVersion(); }
    FileVersionReading ReadFileVersion(const std::u16string& path) override {
        return m_platform.ReadFileVersion(path);
    }

  private:
    DirectoryEnvironment& m_platform;
    std::string m_moduleFile;
};

HostLog* g_reportLog = nullptr;

void PrintMessage(bool isError, const char16_t* text) {
    g_reportLog->Line("%s %s", isError ? "error   " : "info    ",
                      zeph::platform::WideToNarrow(text).c_str());
}

}  // namespace

int PrintDirectoryReport(HostLog& log, const std::string& modulePath) {
    std::error_code ignored;
    ModuleEnvironment environment(
        std::filesystem::absolute(modulePath, ignored).lexically_normal().string());
    configdb::ConfigDbContext context(environment);
    g_reportLog = &log;
    context.ExchangeTracer(&PrintMessage);
    const struct {
        const char* name;
        std::string (*query)(configdb::ConfigDbContext&);
    } queries[] = {
        {"program", [](auto& c) { return configdb::GetProgDir(c, kOwnComponentId, true); }},
        {"data", [](auto& c) { return configdb::GetDataDir(c, kOwnComponentId, false, "Data"); }},
        {"config", [](auto& c) { return configdb::GetKonfigDir(c, kOwnComponentId); }},
        {"user config",
         [](auto& c) { return configdb::GetKonfigDirCurrentUser(c, kOwnComponentId, false); }},
        {"log", [](auto& c) { return configdb::GetLogDir(c, kOwnComponentId, false); }},
        {"system", [](auto& c) { return configdb::GetSystemDir(c, 1); }},
    };
    for (const auto& query : queries) {
        const std::string directory = query.query(context);
        log.Line("dirs     %-12s %s%s", query.name, directory.c_str(),
                 std::filesystem::exists(directory, ignored) ? "" : "  (missing)");
    }
    context.ExchangeTracer(nullptr);
    return 0;
}
