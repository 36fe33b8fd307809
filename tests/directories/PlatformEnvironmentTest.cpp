// The platform environment of the directory library on the real system: file versions, and on
// Linux the version note reader over damaged ELF files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "FakeDirectoryEnvironment.h"
#include "directories/DirectoryEnvironment.h"
#include "directories/OsVersion.h"
#include "platform/TextConversion.h"

#ifndef _WIN32
#include <cerrno>
#include <cstddef>
#include <cstring>

#include <elf.h>

#include "TempDirectory.h"
#include "directories/VersionNote.h"
#endif

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;
using Step = FileVersionReading::Step;

namespace {

DirectoryEnvironment& env = PlatformDirectoryEnvironment();

// The path with the platform's separators (the build gives Windows paths with slashes).
std::u16string SystemPath(const std::string& path) {
    return NarrowToWide(std::filesystem::path(path).make_preferred().string());
}

// The platform reads the test library's version block (its four numbers in the messages); the
// library answers with its messages, and for a file without a block and a missing one with the
// failure's, then the build number's.
TEST(PlatformFileVersion, ReadsTheVersionBlockAndTheLibraryAnswersWithItsMessages) {
    const std::u16string versioned = SystemPath(ZEPH_TEST_VERSIONED_LIBRARY);
    configdb::ConfigDbContext context(env);
    context.EnsureInitialized();
    CapturedDiagnostics captured(context);
    const std::u16string missing = SystemPath(ZEPH_TEST_VERSIONED_LIBRARY ".missing");
    EXPECT_EQ(configdb::GetFileVersion(context, versioned), u"5.6.3.4");
    EXPECT_EQ(configdb::GetFileVersion(context, SystemPath(ZEPH_TEST_UNVERSIONED_LIBRARY)),
              u"0.0.0.0");
    EXPECT_EQ(configdb::GetFileVersion(context, missing), u"0.0.0.0");
    std::vector<std::string>& messages = CapturedDiagnostics::Messages();
    ASSERT_EQ(messages.size(), 7u);
    messages[3].resize(std::min<size_t>(messages[3].size(), 41));
    const std::string build = "E CDB_GetOsBuildNr: Die BuildNr konnte nicht ermittelt werden!";
    EXPECT_EQ(messages,
              (std::vector<std::string>{"I _GetFileVersionFromFile: FileVersionMS <0x00010002> != "
                                        "ProductVersionMS <0x00050006>!",
                                        "I _GetFileVersionFromFile: FileVersionLS <0x00030004> != "
                                        "ProductVersionLS <0x00070008>!",
                                        "I _GetFileVersionFromFile: <5><6><3><4>",
                                        "E _GetFileVersionFromFile: GetLastError <", build,
                                        "E _GetFileVersionFromFile: Der Dateiname <" +
                                            WideToNarrow(missing) + "> existiert nicht!",
                                        build}));
}

#ifndef _WIN32

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
}

#endif

}  // namespace
