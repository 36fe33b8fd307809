#include "ModuleLoader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDirectory.h"

namespace {

#ifdef _WIN32
constexpr const char* kModule = "ZEPH_Ext_PcSc.dll";
const std::string kSep = "\\";
#else
constexpr const char* kModule = "ZEPH_Ext_PcSc.so";
const std::string kSep = "/";
#endif

TEST(ModuleLoaderTest, LooksInTheBuildTreeThenTheInstalledLayoutThenBesideTheProgram) {
    const std::string bin = "/usr/bin" + kSep;
    const std::string up = ".." + kSep;
    EXPECT_EQ(DefaultModuleCandidates(bin + "zeph_host"),
              (std::vector<std::string>{bin + up + up + "module" + kSep + kModule,
                                        bin + up + "lib" + kSep + "zeph" + kSep + kModule,
                                        bin + kModule}));
    EXPECT_EQ(DefaultModuleCandidates("zeph_host").back(), "." + kSep + kModule)
        << "a program name without a directory means the current one";
}

TEST(ModuleLoaderTest, TakesTheFirstCandidateThatExists) {
    const TempDirectory root;
    const std::filesystem::path program = root.Path() / "bin" / "zeph_host";
    std::filesystem::create_directories(root.Path() / "bin");
    EXPECT_EQ(DefaultModulePath(program.string()), DefaultModuleCandidates(program.string())[0])
        << "none exists: the build tree's, for the error message";

    std::filesystem::create_directories(root.Path() / "lib" / "zeph");
    root.Write(std::string("lib/zeph/") + kModule, "");
    EXPECT_EQ(DefaultModulePath(program.string()), DefaultModuleCandidates(program.string())[1]);
}

}  // namespace
