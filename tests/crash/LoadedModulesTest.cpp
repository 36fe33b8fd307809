// The modules a dump lists, from maps text: which mappings make one module and which none.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
    {"DataFileWithoutCode",
     "1000-2000 r--p 00000000 fe:00 8 /usr/share/fonts/f.ttf\n"
     "7000-8000 r-xp 00000000 00:00 0                          [vdso]\n",
     {}},
    {"FileMappedTwice",
     "1000-2000 r-xp 00000000 fe:00 7 /lib/a.so\n"
     "3000-4000 r-xp 00000000 fe:00 7 /lib/a.so\n",
     {"1000-2000 /lib/a.so", "3000-4000 /lib/a.so"}},
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

}  // namespace
