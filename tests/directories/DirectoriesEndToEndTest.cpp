// The resolution chains once on the platform's own services: the Windows registry and shell
// folders (Wine's), or the registry file and the XDG folders on Linux, and real directories.
#include <gtest/gtest.h>

#include <filesystem>

#include "RegistryBackends.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "directories/DirectoryQueries.h"
#include "directories/ForwardingEnvironment.h"
#include "directories/PathPrimitives.h"
#include "directories/PathText.h"
#include "directories/ShellFolderPath.h"
#include "platform/TextConversion.h"

using namespace configdb;
using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;

namespace {

#ifdef _WIN32
using PlatformBackend = Win32Backend;
#else
using PlatformBackend = FileBackend;
#endif

// The platform's services with the test's registry fixtures.
class FixtureEnvironment final : public ForwardingEnvironment {
  public:
    explicit FixtureEnvironment(RegistryApi& registry)
        : ForwardingEnvironment(PlatformDirectoryEnvironment()), m_registry(registry) {}
    RegistryApi& Registry() override { return m_registry; }

  private:
    RegistryApi& m_registry;
};

std::string Directory(const std::filesystem::path& path) {
    std::filesystem::create_directories(path);
    return path.string() + kPathSeparator;
}

}  // namespace

TEST(DirectoriesEndToEnd, ChainsOnThePlatformsServices) {
    TempDirectory root;
    const ScopedVariable state("XDG_STATE_HOME", (root.Path() / "state").string());
    const ScopedVariable config("XDG_CONFIG_HOME", (root.Path() / "config").string());
    PlatformBackend backend;
    const std::u16string id = UniqueKeyName(u"KE2E");
    const std::u16string component = u"SOFTWARE\\TALPOgrp\\Components\\" + id;
    const std::string data = Directory(root.Path() / "data");
    const std::string konfig = Directory(root.Path() / "konfig");
    backend.SetValue(component + u"\\AvailableDataDirectories\\Data\\Dir1", RegistryView::Bit32,
                     u"", {kRegSz, RegistryStringBytes(NarrowToWide(data))});
    backend.SetValue(component + u"\\Versions\\2.9\\ConfigDir", RegistryView::Bit32, u"",
                     {kRegSz, RegistryStringBytes(NarrowToWide(konfig))});
    backend.CreateKey(component + u"\\Versions\\2.10", RegistryView::Bit32);
    FixtureEnvironment environment(backend.Registry());
    ConfigDbContext context(environment);
    const std::string compId = WideToNarrow(id);

    EXPECT_EQ(GetDataDir(context, compId, false, "Data"), data);
    EXPECT_EQ(GetKonfigDir(context, compId), konfig);
    const std::string log = GetLogDir(context, compId, true);
    EXPECT_EQ(log, GetSpecialFolderPath(context, CDB_DIRTYPE_LOCALAPPDATA_LOW) +
                       TalpoPath(compId, "Log"));
    EXPECT_TRUE(std::filesystem::is_directory(log));
    EXPECT_EQ(GetKonfigDirCurrentUser(context, "KE2E_none", false).rfind(GetTempDirLow(context), 0),
              0u);
    std::error_code ignored;
    std::filesystem::remove_all(log, ignored);
}
