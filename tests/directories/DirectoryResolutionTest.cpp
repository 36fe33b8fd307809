// The resolution chains of the directory queries over a directory tree and registry of the
// test's own: which directory each query settles on, and what it creates on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "FakeDirectoryEnvironment.h"
#include "directories/DirectoryQueries.h"

using namespace configdb;

namespace {

const std::string kVersions104 = "SOFTWARE\\TALPOgrp\\Components\\K7000104\\Versions\\";

using Setup = std::function<void(FakeDirectoryEnvironment&)>;
using Query = std::function<std::string(ConfigDbContext&)>;

void Nothing(FakeDirectoryEnvironment&) {}
void NoLocalLow(FakeDirectoryEnvironment& env) {
    env.folders.erase(KnownFolder::LocalAppDataLow);
}
// The key's default value names the directory below the root, made unless `make` is false.
Setup Registered(const std::string& key, const char* directory, bool make = true) {
    return [=](FakeDirectoryEnvironment& env) {
        env.SetRegistry(key, "", make ? env.Make(directory) : env.Path(directory));
    };
}

// A Talpo environment: a system directory, and a program directory that names the component.
void TalpoEnvironment(FakeDirectoryEnvironment& env) {
    env.SetRegistry("Software\\Talpogrp\\ProtectedDirectories", "SystemDir", env.Make("System"));
    env.SetRegistry(kVersions104 + "1.5\\ProtectedDirectories", "FixedProgDir", env.Make("Prog"));
    env.SetRegistry(kVersions104 + "1.5\\ProtectedDirectories", "ProgDir", "K7000104");
    env.Make("Prog/K7000104");
}

Query Log(const char* id, bool create) {
    return [=](ConfigDbContext& c) { return GetLogDir(c, id, create); };
}
Query Data(bool create) {
    return [=](ConfigDbContext& c) { return GetDataDir(c, "K7000104", create, "Data"); };
}
std::string Konfig(ConfigDbContext& c) {
    return GetKonfigDir(c, "K7000104");
}
Query UserKonfig(const char* id, bool create) {
    return [=](ConfigDbContext& c) { return GetKonfigDirCurrentUser(c, id, create); };
}
Query Prog(const char* id, bool create) {
    return [=](ConfigDbContext& c) { return GetProgDir(c, id, create); };
}

// Who a directory the query creates serves: the user alone (0700 on Linux) or the machine (the
// platform's default); None where the query creates nothing.
enum class Made { None, PerUser, MachineWide };

const struct {
    const char* name;
    Setup setup;
    Query query;
    const char* expected;  // below the root; empty: the query finds nothing
    bool exists;           // the answer exists afterwards
    Made made = Made::None;
} kChains[] = {
    {"log registry hit", Registered(kVersions104 + "2.0\\LogDir", "RegLog"), Log("K7000104", false),
     "RegLog/", true},
    {"log registry path created",
     [](auto& env) {
         NoLocalLow(env);
         Registered(kVersions104 + "2.0\\LogDir", "New/Log", false)(env);
     },
     Log("K7000104", true), "New/Log/", true, Made::MachineWide},
    {"log shell folder created", Nothing, Log("K7000104", true), "LocalLow/Talpo/Log/Mora/", true,
     Made::PerUser},
    {"log without create flag", Nothing, Log("K7000104", false), "", false},
    {"log registry text too long for the value buffer",
     [](auto& env) {
         std::string directory = env.Path("Long");
         directory.resize(260, 'x');  // with its terminator one byte beyond the buffer
         env.SetRegistry(kVersions104 + "2.0\\LogDir", "", directory);
     },
     Log("K7000104", true), "LocalLow/Talpo/Log/Mora/", true, Made::PerUser},
    {"log temp fallback", NoLocalLow, Log("X1", true), "Temp/Low/Talpo/Log/X1/", true,
     Made::PerUser},
    {"data registry hit",
     Registered("SOFTWARE\\TALPOgrp\\Components\\K7000104\\AvailableDataDirectories\\Data\\Dir1",
                "RegData"),
     Data(false), "RegData/", true},
    {"data outside a Talpo environment", Nothing, Data(true),
     "ProgramData/Talpo/Daten/K7000104/Data/", true, Made::MachineWide},
    {"data in a Talpo environment", TalpoEnvironment, Data(true),
     "Temp/Low/Talpo/Daten/K7000104/Data/", true, Made::PerUser},
    // Subkey names compare as numbers: 2.9 beats 2.10, and the first of two equal ones wins.
    {"konfig registry hit, newest version",
     [](auto& env) {
         Registered(kVersions104 + "2.10\\ConfigDir", "Old")(env);
         Registered(kVersions104 + "2.9\\ConfigDir", "New")(env);
         Registered(kVersions104 + "2.90\\ConfigDir", "Same")(env);
     },
     Konfig, "New/", true},
    {"konfig outside a Talpo environment",
     [](auto& env) { env.Make("ProgramData/Talpo/Konfig/K7000104"); }, Konfig,
     "ProgramData/Talpo/Konfig/K7000104/", true},
    {"konfig falls back to the module", Nothing, Konfig, "Module/", true},
    {"user konfig created", Nothing, UserKonfig("K7000102", true),
     "Roaming/Talpo/Konfig/MoraCompact/", true, Made::PerUser},
    {"user konfig temp guess without create flag",
     [](auto& env) { env.folders.erase(KnownFolder::RoamingAppData); },
     UserKonfig("K7000101", false), "Temp/Low/Talpo/Konfig/K7000101/", false},
    {"own program directory from ProgKey",
     [](auto& env) {
         env.SetRegistry("SOFTWARE\\TALPO Mora Compact", "ProgKey", env.Make("Mora"));
     },
     Prog("K7000102", true), "Mora/", true},
    {"own program directory by default", Nothing, Prog("K7000102", true),
     "ProgramFiles/TALPO/PROGRAMM/MoraCompacT/", false},
    {"component program directory joined", TalpoEnvironment, Prog("K7000104", false),
     "Prog/K7000104/", true},
};

}  // namespace

TEST(DirectoryResolution, ChainsSettleOnTheirDirectory) {
    for (const auto& chain : kChains) {
        SCOPED_TRACE(chain.name);
        FakeDirectoryEnvironment env;
        ConfigDbContext context(env);
        chain.setup(env);
        const std::string answer = chain.query(context);
        EXPECT_EQ(answer, *chain.expected ? env.Path(chain.expected) : std::string());
        EXPECT_EQ(std::filesystem::exists(answer), chain.exists);
#ifndef _WIN32
        if (chain.made != Made::None) {
            const mode_t mask = umask(0);
            umask(mask);
            struct stat status {};
            ASSERT_EQ(stat(answer.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, chain.made == Made::PerUser ? 0700 : 0777 & ~mask);
        }
#endif
    }
}

// The buffer form writes only within the length it is given, and answers by the directory's
// length exactly.
TEST(DirectoryResolution, LogDirBufferCodesAtTheLengthBoundary) {
    FakeDirectoryEnvironment env;
    ConfigDbContext context(env);
    const std::u16string directory =
        FakeDirectoryEnvironment::Wide(GetLogDir(context, "K7000104", true));
    const uint32_t length = static_cast<uint32_t>(directory.size());
    for (const auto& [capacity, code] :
         {std::pair{length, kLogDirBufferTooSmall}, std::pair{length + 1, kLogDirCopied}}) {
        std::u16string buffer(capacity + 4, u'#');
        EXPECT_EQ(GetLogDir(context, u"K7000104", buffer.data(), capacity, false), code);
        EXPECT_EQ(buffer.substr(capacity), u"####") << "written beyond the length";
        EXPECT_EQ(std::u16string(buffer.c_str()), code == kLogDirCopied ? directory : u"");
    }
    std::u16string untouched(8, u'#');
    EXPECT_EQ(GetLogDir(context, nullptr, untouched.data(), 8, false), kLogDirNullArgument);
    EXPECT_EQ(untouched, std::u16string(8, u'#'));
    EXPECT_EQ(GetLogDir(context, u"K7000104", nullptr, 8, false), kLogDirNullArgument);
    NoLocalLow(env);
    EXPECT_EQ(GetLogDir(context, u"K7000101", untouched.data(), 8, false), kLogDirNotFound);
    EXPECT_EQ(untouched[0], u'\0');
}
