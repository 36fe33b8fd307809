// The platform environment of the directory library on the real system: file versions, the file
// system calls, and per platform the shell folders, module names and OS version.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "FakeDirectoryEnvironment.h"
#include "TempDirectory.h"
#include "directories/DirectoryEnvironment.h"
#include "directories/FileSystem.h"
#include "directories/OsVersion.h"
#include "platform/TextConversion.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>

#include <elf.h>
#include <sys/stat.h>

#include "ScopedVariable.h"
#include "directories/VersionNote.h"
#endif

using zeph::platform::NarrowToWide;
using Step = FileVersionReading::Step;

namespace {

DirectoryEnvironment& env = PlatformDirectoryEnvironment();

// The path with the platform's separators (the build gives Windows paths with slashes).
std::u16string SystemPath(const std::string& path) {
    return NarrowToWide(std::filesystem::path(path).make_preferred().string());
}

std::array<uint32_t, 5> Fields(const FixedFileVersion& v) {
    return {v.signature, v.fileVersionMS, v.fileVersionLS, v.productVersionMS, v.productVersionLS};
}

constexpr FixedFileVersion kVersioned{0xFEEF04BD, 0x00010002, 0x00030004, 0x00050006, 0x00070008};
constexpr FixedFileVersion kModule{0xFEEF04BD, ZEPH_TEST_MODULE_VERSION_MS,
                                   ZEPH_TEST_MODULE_VERSION_LS, ZEPH_TEST_MODULE_VERSION_MS,
                                   ZEPH_TEST_MODULE_VERSION_LS};

// The platform's reading of each file, and the library's answer for it with its messages: a
// failure's first message as far as given, then the build number's.
TEST(PlatformFileVersion, ReadsEachFileAndTheLibraryAnswersWithItsMessages) {
    const TempDirectory directory;
    configdb::ConfigDbContext context(env);
    context.EnsureInitialized();
    CapturedDiagnostics captured(context);
    const std::string missing = (directory.Path() / "missing.dll").string();
    const std::vector<std::string> versioned = {
        "I _GetFileVersionFromFile: FileVersionMS <0x00010002> != ProductVersionMS <0x00050006>!",
        "I _GetFileVersionFromFile: FileVersionLS <0x00030004> != ProductVersionLS <0x00070008>!",
        "I _GetFileVersionFromFile: <5><6><3><4>"};
    const std::vector<std::string> noSize = {"E _GetFileVersionFromFile: GetLastError <"};
    const std::vector<std::string> notFound = {"E _GetFileVersionFromFile: Der Dateiname <" +
                                               missing + "> existiert nicht!"};
    const struct {
        std::string path;
        Step step;
        FixedFileVersion fixed;
        const char* version;  // null: not asked of the library
        const std::vector<std::string>& messages;
    } cases[] = {
        {ZEPH_TEST_VERSIONED_LIBRARY, Step::Read, kVersioned, "5.6.3.4", versioned},
        {ZEPH_TEST_MODULE, Step::Read, kModule, nullptr, versioned},
        {ZEPH_TEST_UNVERSIONED_LIBRARY, Step::NoSize, {}, "0.0.0.0", noSize},
        {missing, Step::NoSize, {}, "0.0.0.0", notFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const FileVersionReading reading = env.ReadFileVersion(SystemPath(c.path));
        EXPECT_EQ(reading.step, c.step);
        EXPECT_EQ(Fields(reading.fixed), Fields(c.fixed));
        EXPECT_EQ(reading.lastError != 0, c.step != Step::Read);
        if (c.version == nullptr) {
            continue;
        }
        CapturedDiagnostics::Messages().clear();
        EXPECT_EQ(configdb::GetFileVersion(context, SystemPath(c.path)), NarrowToWide(c.version));
        auto& messages = CapturedDiagnostics::Messages();
        if (c.step != Step::Read) {
            ASSERT_EQ(messages.size(), 2u);
            EXPECT_EQ(messages[1],
                      "E CDB_GetOsBuildNr: Die BuildNr konnte nicht ermittelt werden!");
            messages.pop_back();
            messages[0] = messages[0].substr(0, c.messages[0].size());
        }
        EXPECT_EQ(messages, c.messages);
    }
}

// zeph_core is linked into the test program: this module is the executable itself.
TEST(PlatformEnvironment, NamesTheExecutableAsThisModule) {
    const std::string executable = env.ModuleFileName(false);
#ifdef _WIN32
    EXPECT_TRUE(executable.ends_with(".exe")) << executable;
#else
    char resolved[PATH_MAX] = {};
    ASSERT_NE(realpath("/proc/self/exe", resolved), nullptr);
    EXPECT_EQ(executable, resolved);
#endif
    EXPECT_EQ(env.ModuleFileName(true), executable);
    EXPECT_EQ(env.ThisModulePathWide(), NarrowToWide(executable));
}

#ifndef _WIN32

TEST(PlatformEnvironmentLinux, ResolvesTheXdgFolders) {
    const TempDirectory directory;
    const std::string home = directory.Path().string();
    const ScopedVariable homeVariable("HOME", home);
    const struct {
        KnownFolder folder;
        const char* variable;
        std::optional<std::string> value;
        uint32_t flags;
        std::string expected;
    } cases[] = {
        {KnownFolder::LocalAppDataLow, "XDG_STATE_HOME", std::nullopt, 0, home + "/.local/state"},
        {KnownFolder::LocalAppData, "XDG_DATA_HOME", "/x/data", kKnownFolderDefaultPath,
         home + "/.local/share"},
        {KnownFolder::RoamingAppData, "XDG_CONFIG_HOME", "relative", 0, home + "/.config"},
        {KnownFolder::RoamingAppData, "XDG_CONFIG_HOME", "/x/config/", 0, "/x/config"},
        {KnownFolder::ProgramData, "XDG_DATA_HOME", "/x", 0, "/var/lib"},
        {KnownFolder::ProgramFilesX86, "XDG_DATA_HOME", "/x", 0, "/opt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const ScopedVariable variable(c.variable, c.value);
        std::string path;
        EXPECT_EQ(env.KnownFolderPath(c.folder, c.flags, path), 0);
        EXPECT_EQ(path, c.expected);
    }
}

TEST(PlatformEnvironmentLinux, CreatesAMissingXdgFolderForTheUserOnly) {
    const TempDirectory directory;
    const std::string state = directory.Path().string() + "/a/b/state";
    const ScopedVariable variable("XDG_STATE_HOME", state);
    std::string path;
    ASSERT_EQ(env.KnownFolderPath(KnownFolder::LocalAppDataLow, 0, path), 0);
    EXPECT_FALSE(configdb::PathExists(path));
    ASSERT_EQ(env.KnownFolderPath(KnownFolder::LocalAppDataLow, kKnownFolderCreate, path), 0);
    struct stat status {};
    ASSERT_EQ(stat(state.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}

TEST(PlatformEnvironmentLinux, TakesTmpdirOnlyWhenAbsolute) {
    const struct {
        std::optional<std::string> value;
        std::string expected;
    } cases[] = {{"/x/tmp", "/x/tmp/"}, {std::nullopt, "/tmp/"}, {"relative", "/tmp/"}};
    for (const auto& c : cases) {
        const ScopedVariable variable("TMPDIR", c.value);
        EXPECT_EQ(env.TempPath(), c.expected);
    }
}

// A small ELF file: its header, the version note as the one note section's content, and the
// section table (an empty entry, then the note section).
struct ElfImage {
    Elf64_Ehdr header{};
    VersionNote note = MakeVersionNote(1, 2, 3, 4);
    Elf64_Shdr sections[2] = {{}, {}};

    ElfImage() {
        std::memcpy(header.e_ident, ELFMAG "\x02\x01", SELFMAG + 2);  // 64-bit, little endian
        header.e_shoff = offsetof(ElfImage, sections);
        header.e_shentsize = sizeof(Elf64_Shdr);
        header.e_shnum = 2;
        sections[1] = {0, SHT_NOTE, 0, 0, offsetof(ElfImage, note), sizeof(note), 0, 0, 4, 0};
    }
};

TEST(PlatformEnvironmentLinux, RefusesMalformedElfFiles) {
    const struct {
        const char* what;
        void (*damage)(ElfImage&);
        Step step = Step::NoSize;
        size_t length = sizeof(ElfImage);
    } cases[] = {
        {"intact", [](ElfImage&) {}, Step::Read},
        {"truncated header", [](ElfImage&) {}, Step::NoSize, 40},
        {"truncated section table", [](ElfImage&) {}, Step::NoSize, sizeof(ElfImage) - 10},
        {"32-bit", [](ElfImage& e) { e.header.e_ident[EI_CLASS] = ELFCLASS32; }},
        {"big endian", [](ElfImage& e) { e.header.e_ident[EI_DATA] = ELFDATA2MSB; }},
        {"table offset overflows", [](ElfImage& e) { e.header.e_shoff = ~0ull - 8; }},
        {"too many sections", [](ElfImage& e) { e.header.e_shnum = 0xFFFF; }},
        {"short section entries",
         [](ElfImage& e) {
             e.header.e_shentsize = 8;  // the second entry read at full size would be the note's
             e.header.e_shoff += sizeof(Elf64_Shdr) - 8;
         }},
        {"note beyond the file", [](ElfImage& e) { e.sections[1].sh_offset = ~0ull; }},
        {"note section too long", [](ElfImage& e) { e.sections[1].sh_size = 1 << 20; }},
        {"name runs past the section", [](ElfImage& e) { e.note.nameSize = ~0u; }},
        {"descriptor runs past the section", [](ElfImage& e) { e.note.descriptorSize = ~0u - 15; }},
        {"descriptor too short", [](ElfImage& e) { e.note.descriptorSize = 16; },
         Step::NoRootBlock},
    };
    const TempDirectory directory;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ElfImage image;
        c.damage(image);
        const std::string file =
            directory.Write("image.so", {reinterpret_cast<const char*>(&image), c.length});
        const FileVersionReading reading = env.ReadFileVersion(NarrowToWide(file));
        EXPECT_EQ(reading.step, c.step);
        EXPECT_EQ(reading.lastError, c.step == Step::Read ? 0u : uint32_t{ENOEXEC});
    }
    const FileVersionReading missing = env.ReadFileVersion(u"/nonexistent/x.so");
    EXPECT_EQ(missing.step, Step::NoSize);
    EXPECT_EQ(missing.lastError, uint32_t{ENOENT});
}

#else

constexpr KnownFolder kKnownFolders[] = {KnownFolder::LocalAppDataLow, KnownFolder::LocalAppData,
                                         KnownFolder::RoamingAppData, KnownFolder::ProgramData,
                                         KnownFolder::ProgramFilesX86};

TEST(PlatformEnvironmentWindows, AnswersEveryShellFolder) {
    for (const KnownFolder folder : kKnownFolders) {
        std::string path;
        EXPECT_EQ(env.KnownFolderPath(folder, kKnownFolderCreate, path), 0);
        EXPECT_TRUE(configdb::PathExists(path)) << path;
    }
    for (const int32_t csidl : {0x801C, 0x801A, 0x23, 0x2A}) {
        std::string path;
        EXPECT_EQ(env.FolderPathByCsidl(csidl, path), 0) << csidl;
        EXPECT_TRUE(configdb::PathExists(path)) << path;
    }
    const std::string temp = env.TempPath();
    EXPECT_TRUE(configdb::PathExists(temp)) << temp;
    EXPECT_EQ(temp.back(), '\\');
}

// Wine reports Windows 7 unless its prefix names another version for the program: a copy of this
// program under a name of its own, for which the prefix names Windows 10, runs this same test,
// which then only checks the version.
TEST(PlatformEnvironmentWindows, ReadsTheKernelVersion) {
    const OsVersionReading reading = env.ReadOsVersion();
    EXPECT_EQ(reading.source, OsVersionReading::Source::Read);
    EXPECT_EQ(reading.platformId, 2u);
    const std::string version = std::to_string(reading.major) + "." +
                                std::to_string(reading.minor) + " code " +
                                std::to_string(configdb::ClassifyOsVersion(reading));
    char expected[16] = {};
    if (GetEnvironmentVariableA("ZEPH_TEST_EXPECTED_OS_VERSION", expected, 16) != 0) {
        EXPECT_EQ(version, expected);
        return;
    }
    EXPECT_EQ(version, "6.1 code 12") << "Windows 7 SP1";
    const TempDirectory directory;
    const std::string copy = (directory.Path() / "directories_platform_win10.exe").string();
    const char appKey[] = "Software\\Wine\\AppDefaults\\directories_platform_win10.exe";
    ASSERT_NE(CopyFileA(env.ModuleFileName(false).c_str(), copy.c_str(), TRUE), 0);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, appKey, "Version", REG_SZ, "win10", 6),
              ERROR_SUCCESS);
    SetEnvironmentVariableA("ZEPH_TEST_EXPECTED_OS_VERSION", "10.0 code 18");
    EXPECT_EQ(_spawnl(_P_WAIT, copy.c_str(), "child",
                      "--gtest_filter=PlatformEnvironmentWindows.ReadsTheKernelVersion", nullptr),
              0);
    SetEnvironmentVariableA("ZEPH_TEST_EXPECTED_OS_VERSION", nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, appKey);
}

#endif

}  // namespace
