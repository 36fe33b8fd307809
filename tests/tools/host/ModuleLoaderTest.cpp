#include "ModuleLoader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDirectory.h"

namespace {

#ifdef _WIN32
constexpr const char* kModule = "ZEPH_Ext_PcSc.dll";
#else
constexpr const char* kModule = "ZEPH_Ext_PcSc.so";
#endif

// The first place where the module exists; where none has it, the build tree's.
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
