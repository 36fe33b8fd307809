// The modules a dump lists, from maps text: which mappings make one module and which none; and
// the build id of a module, read from its notes in memory, which may be damaged.
#include <elf.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crash/posix/ElfBuildId.h"
#include "crash/posix/LoadedModules.h"

namespace md = ExceptionTranslator::minidump;

namespace {

struct ModulesCase {
    const char* name;
    const char* maps;
    std::vector<std::string> modules;  // "base-end path"
};

const ModulesCase kCases[] = {
    {"LibraryWithItsZeroFilledData",
     "1000-2000 r--p 00000000 fe:00 7 /lib/a.so\n"
     "2000-5000 r-xp 00001000 fe:00 7 /lib/a.so\n"
     "5000-6000 rw-p 00004000 fe:00 7 /lib/a.so\n"
     "6000-8000 rw-p 00000000 00:00 0 \n"
     "8000-9000 r--p 00006000 fe:00 7 /lib/a.so\n"
     "9000-a000 rw-p 00000000 00:00 0                          [heap]\n",
     {"1000-9000 /lib/a.so"}},
    {"PathWithSpacesOfADeletedFile",
     "1000-2000 r-xp 00000000 fe:00 9     /tmp/my lib.so (deleted)\n",
     {"1000-2000 /tmp/my lib.so (deleted)"}},
    {"LineCutOff",
     "1000-2000 r-xp 00000000 fe:00 7 /lib/a.so\n"
     "3000-4000 r-xp 00000000 fe:00 8 /lib/b",
     {"1000-2000 /lib/a.so"}},
};

class LoadedModulesTest : public ::testing::TestWithParam<ModulesCase> {};

INSTANTIATE_TEST_SUITE_P(Maps, LoadedModulesTest, ::testing::ValuesIn(kCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_P(LoadedModulesTest, GroupsTheMappingsOfEachFileWithCode) {
    const std::string_view text = GetParam().maps;
    md::Mapping mappings[16];
    md::LoadedModule modules[8];
    const size_t mappingCount = md::ParseMaps(text, mappings, std::size(mappings));
    const size_t count =
        md::CollectModules(text, mappings, mappingCount, modules, std::size(modules));
    std::vector<std::string> described;
    char range[64];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(range, sizeof(range), "%llx-%llx ",
                      static_cast<unsigned long long>(modules[i].base),
                      static_cast<unsigned long long>(modules[i].end));
        described.push_back(range + std::string(md::MappingPath(text, *modules[i].first)));
    }
    EXPECT_EQ(described, GetParam().modules);
}

// A module in memory: its ELF header, a loadable segment over all of it and a segment of notes
// that holds one build id note.
struct NoteImage {
    Elf64_Ehdr header{};
    Elf64_Phdr segments[2]{};
    Elf64_Nhdr note{};
    char name[4] = "GNU";
    uint8_t description[80]{};
};

TEST(BuildIdNotes, OnlyAWholeNoteOfAtMost64BytesIsTaken) {
    const struct {
        uint32_t descriptionBytes;
        uint64_t segmentBytes;  // from the note's header
        uint32_t expected;
    } cases[] = {
        {20, 16 + 20, 20},
        {20, 16 + 16, 0},  // the note runs past its segment
        {68, 16 + 68, 0},  // more than a build id can be
    };
    for (const auto& c : cases) {
        NoteImage image;
        std::memcpy(image.header.e_ident, ELFMAG, SELFMAG);
        image.header.e_ident[EI_CLASS] = ELFCLASS64;
        image.header.e_phentsize = sizeof(Elf64_Phdr);
        image.header.e_phoff = offsetof(NoteImage, segments);
        image.header.e_phnum = 2;
        image.segments[0] = {PT_LOAD, 0, 0, 0, 0, sizeof(NoteImage), sizeof(NoteImage), 0};
        image.segments[1].p_type = PT_NOTE;
        image.segments[1].p_vaddr = offsetof(NoteImage, note);
        image.segments[1].p_memsz = c.segmentBytes;
        image.note = {4, c.descriptionBytes, NT_GNU_BUILD_ID};
        const auto base = reinterpret_cast<uint64_t>(&image);
        const md::Mapping mapping{base, base + sizeof(image), 0, 0, 0, true, false};
        EXPECT_EQ(md::FindBuildId(base, &mapping, 1).size, c.expected) << c.descriptionBytes;
    }
}

}  // namespace
