#include "DirectoryReport.h"

#include <filesystem>

#include "directories/ConfigDB.h"
#include "directories/DirectoryQueries.h"
#include "directories/ForwardingEnvironment.h"
#include "platform/TextConversion.h"

namespace {

// The platform's services, with the module's file name in place of this program's: the library
// linked into the tool then answers what it answers inside the module.
class ModuleEnvironment final : public ForwardingEnvironment {
  public:
    explicit ModuleEnvironment(std::string moduleFile)
        : ForwardingEnvironment(PlatformDirectoryEnvironment()),
          m_moduleFile(std::move(moduleFile)) {}

    std::string ModuleFileName(bool thisModule) override {
        return thisModule ? m_moduleFile : ForwardingEnvironment::ModuleFileName(false);
    }
    std::u16string ThisModulePathWide() override {
        return zeph::platform::NarrowToWide(m_moduleFile);
    }

  private:
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
