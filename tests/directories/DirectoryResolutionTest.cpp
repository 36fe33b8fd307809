// The directory queries over a directory tree and registry of the test's own: which directory each
// resolution chain settles on and what it creates on the way; the library's switches, trace files
// and messages (what Init reads from the registry, what reaches the tracer and the files). Then the
// platform environment on the real system: file versions, and on Linux the version note reader
// over damaged ELF files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <elf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "directories/ConfigDB.h"
#include "directories/VersionNote.h"
#include "registry/RegFileRegistry.h"
#endif

#include "FakeDirectoryEnvironment.h"
#include "FileText.h"
#include "directories/DirectoryQueries.h"
#include "directories/OsVersion.h"
#include "directories/PathPrimitives.h"
#include "directories/ShellFolderPath.h"
#include "platform/TextConversion.h"

using namespace configdb;
using zeph::platform::NarrowToWide;
using Step = FileVersionReading::Step;

namespace {
// The messages the tracer of the context under test received, as narrow text with "E " or "I "
// before each.
std::vector<std::string> g_messages;

void CaptureDiagnostics(ConfigDbContext& context) {
    g_messages.clear();
    context.ExchangeTracer([](bool isError, const char16_t* text) {
        g_messages.push_back((isError ? "E " : "I ") + zeph::platform::WideToNarrow(text));
    });
}

constexpr char kProduct[] = "SOFTWARE\\TALPO Mora Compact";
const char* const kTraceFiles[] = {"ConfigDB_Intern.log", "K7000102_TracingDirs.log",
                                   "ConfigDB_Lib_Dirs.log"};

// The messages of a trace file's lines: what follows "[pid] [tid] ".
std::vector<std::string> FileMessages(const std::string& file) {
    std::vector<std::string> messages = ReadFileLines(file);
    for (std::string& line : messages) {
        line = line.substr(line.find("] ", line.find("] [") + 1) + 2);
    }
    return messages;
}

// Switches the internal trace and both directory dumps on, each into `directory`.
void SwitchFilesOn(FakeDirectoryEnvironment& env, const std::string& directory,
                   const char* value = "ein") {
    for (const auto& [name, place] :
         {std::pair{"LogVia_InternTrace", "LogVia_InternTraceDirectory"},
          {"ConfigDBTracingDirsActive", "ConfigDBTracingDirsDirectory"},
          {"ConfigDBLibDirsActive", "ConfigDBLibDirsDirectory"}}) {
        env.SetRegistry(kProduct, name, value);
        env.SetRegistry(kProduct, place, directory);
    }
}

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
std::string Konfig(ConfigDbContext& c) {
    return GetKonfigDir(c, "K7000104");
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
    {"log registry path created",
     [](auto& env) {
         NoLocalLow(env);
         Registered(kVersions104 + "2.0\\LogDir", "New/Log", false)(env);
     },
     Log("K7000104", true), "New/Log/", true, Made::MachineWide},
    {"log shell folder created", Nothing, Log("K7000104", true), "LocalLow/Talpo/Log/Mora/", true,
     Made::PerUser},
    {"log without create flag", Nothing, Log("K7000104", false), "", false},
    {"data in a Talpo environment", TalpoEnvironment,
     [](auto& c) { return GetDataDir(c, "K7000104", true, "Data"); },
     "Temp/Low/Talpo/Daten/K7000104/Data/", true, Made::PerUser},
    // Subkey names compare as numbers: 2.9 beats 2.10, and the first of two equal ones wins.
    {"konfig registry hit, newest version",
     [](auto& env) {
         Registered(kVersions104 + "2.10\\ConfigDir", "Old")(env);
         Registered(kVersions104 + "2.9\\ConfigDir", "New")(env);
         Registered(kVersions104 + "2.90\\ConfigDir", "Same")(env);
     },
     Konfig, "New/", true},
    {"konfig falls back to the module", Nothing, Konfig, "Module/", true},
    {"user konfig created", Nothing,
     [](auto& c) { return GetKonfigDirCurrentUser(c, "K7000102", true); },
     "Roaming/Talpo/Konfig/MoraCompact/", true, Made::PerUser},
    {"component program directory joined", TalpoEnvironment,
     [](auto& c) { return GetProgDir(c, "K7000104", false); }, "Prog/K7000104/", true},
};

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
    const std::u16string directory = NarrowToWide(GetLogDir(context, "K7000104", true));
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
    NoLocalLow(env);
    EXPECT_EQ(GetLogDir(context, u"K7000101", untouched.data(), 8, false), kLogDirNotFound);
    EXPECT_EQ(untouched[0], u'\0');
}

// Only the word "ein", in any case, switches a feature on, and only with its directory: a missing
// one, or one a byte too long for the library's value buffer with its terminator, turns it off.
TEST(ConfigDbDiagnostics, SwitchValuesAndMissingDirectories) {
    for (const auto& [value, made, on] :
         {std::tuple{"Ein", true, true}, {"eins", true, false}, {"ein", false, false}}) {
        FakeDirectoryEnvironment env;
        SwitchFilesOn(env, made ? env.Make("Trace") : env.Path("Missing"), value);
        env.SetRegistry(kProduct, "ConfigDBLogDirK7000102", env.Path("Missing"));
        env.SetRegistry(kProduct, "ConfigDBTracingDirsDirectory", std::string(260, 'x'));
        ConfigDbContext context(env);
        CaptureDiagnostics(context);
        context.EnsureInitialized();
        EXPECT_EQ(context.InternTraceActive(), on) << value;
        EXPECT_EQ(context.Settings().perQueryDumpOn, on) << value;
        EXPECT_FALSE(context.Settings().alternativeLogDirOn);
    }
    // Read only when switched on, as in the last row.
    EXPECT_THAT(
        g_messages,
        testing::Contains(
            "E Init: Fehler <234> beim Lesen des Eintrags \"ConfigDBTracingDirsDirectory\"!"));
}

// The three trace files and the alternative log directory: each start dumps the own component's
// five directories once, each query its answer.
TEST(ConfigDbDiagnostics, TraceFilesAndAlternativeLogDir) {
    FakeDirectoryEnvironment env;
    SwitchFilesOn(env, env.Make("Trace"));
    env.SetRegistry(kProduct, "ConfigDBLogDirK7000102", env.Make("Alternative"));
    ConfigDbContext context(env);
    CaptureDiagnostics(context);
    const std::string log = GetLogDir(context, "K7000104", true);
    EXPECT_EQ(GetLogDir(context, "K7000102", false), env.Path("Alternative/"));
    EXPECT_EQ(g_messages.back(),
              "I CDB_GetLogDir: LogPfad <K7000102> = \"" + env.Path("Alternative/") + "\"");
    const auto dumped = FileMessages(env.Path("Trace/K7000102_TracingDirs.log"));
    ASSERT_EQ(dumped.size(), 5u);
    const char* kinds[] = {"Programm <", "Daten <", "Konfig <", "Log <", "Konfig Benutzer <"};
    for (size_t i = 0; i < dumped.size(); ++i) {
        EXPECT_TRUE(dumped[i].starts_with(kinds[i])) << dumped[i];
    }
    // The start's own dump asks its queries first, which the per-query dump shows as well.
    const auto queried = FileMessages(env.Path("Trace/ConfigDB_Lib_Dirs.log"));
    ASSERT_GE(queried.size(), 2u);
    EXPECT_EQ(std::vector(queried.end() - 2, queried.end()),
              (std::vector<std::string>{"K7000104 Log <" + log + ">",
                                        "K7000102 Log <" + env.Path("Alternative/") + ">"}));
}

// A link planted under each trace file's name: the file it names keeps its content, and the
// library answers and traces on as without it.
TEST(ConfigDbDiagnostics, LinksUnderTheTraceFileNamesAreNotWrittenThrough) {
    using Plant = void (*)(const std::filesystem::path&, const std::filesystem::path&);
    const Plant links[] = {
#ifndef _WIN32  // Wine 8 makes no symbolic links
        [](const auto& target, const auto& link) { create_symlink(target, link); },
#endif
        [](const auto& target, const auto& link) { create_hard_link(target, link); }};
    for (const Plant plant : links) {
        FakeDirectoryEnvironment env;
        SwitchFilesOn(env, env.Make("Trace"));
        for (const char* file : kTraceFiles) {
            std::ofstream(env.Make("Elsewhere") + kPathSeparator + file) << "kept";
            plant(env.Path("Elsewhere/") + file, env.Path("Trace/") + file);
        }
        ConfigDbContext context(env);
        EXPECT_EQ(GetLogDir(context, "K7000102", true), env.Path("LocalLow/Talpo/Log/Mora/"));
        EXPECT_TRUE(context.InternTraceActive());
        for (const char* file : kTraceFiles) {
            EXPECT_EQ(ReadFileText(env.Path("Elsewhere/") + file), "kept") << file;
        }
    }
}

// Every version the classification tells apart, each code's text once, and the unknown ones, as
// the data file lists them.
TEST(ConfigDbDiagnostics, OsVersions) {
    using enum OsVersionReading::Source;
    std::ifstream versions(ZEPH_TEST_DIRECTORIES_DATA "/os-versions.txt");
    versions.ignore(1000, '\n');
    OsVersionReading r{Read};
    size_t rows = 0;
    for (std::string text; versions >> r.platformId >> r.major >> r.minor >> r.servicePackMajor >>
                               r.productType >> r.serverR2Metric &&
                           std::getline(versions >> std::ws, text);
         ++rows) {
        EXPECT_EQ(GetOsVersionText(ClassifyOsVersion(r)), text) << r.major << "." << r.minor;
    }
    EXPECT_EQ(rows, 27u);
    // A failed reading is traced, and the query's answer with its text.
    FakeDirectoryEnvironment env;
    env.osVersion = {CallFailed, -5};
    ConfigDbContext context(env);
    CaptureDiagnostics(context);
    EXPECT_EQ(GetOsVersion(context), 0);
    EXPECT_EQ(std::vector(g_messages.end() - 2, g_messages.end()),
              (std::vector<std::string>{"E CDB_GetOsVersion: <RtlGetVersion> lieferte Fehler <-5>!",
                                        "I CDB_GetOsVersion: \"0\" (Windows Version UNKNOWN)"}));
    // Before Vista the shell folders come from the older interface.
    FakeDirectoryEnvironment xp;
    xp.osVersion = {Read, 0, 2, 5, 1, 0, 1, 0};
    ConfigDbContext oldContext(xp);
    EXPECT_EQ(GetSpecialFolderPath(oldContext, CDB_DIRTYPE_LOCALAPPDATA), xp.Path("Local/"));
}

// The path with the platform's separators (the build gives Windows paths with slashes).
std::u16string SystemPath(const std::string& path) {
    return NarrowToWide(std::filesystem::path(path).make_preferred().string());
}

// The platform reads the test library's version block; a file without one and a missing one
// give no version.
TEST(PlatformFileVersion, ReadsTheVersionBlock) {
    ConfigDbContext context(PlatformDirectoryEnvironment());
    context.EnsureInitialized();
    CaptureDiagnostics(context);
    const std::u16string missing = SystemPath(ZEPH_TEST_VERSIONED_LIBRARY ".missing");
    EXPECT_EQ(GetFileVersion(context, SystemPath(ZEPH_TEST_VERSIONED_LIBRARY)), u"5.6.3.4");
    EXPECT_EQ(GetFileVersion(context, SystemPath(ZEPH_TEST_UNVERSIONED_LIBRARY)), u"0.0.0.0");
    EXPECT_EQ(GetFileVersion(context, missing), u"0.0.0.0");
    EXPECT_THAT(g_messages,
                testing::Contains("E _GetFileVersionFromFile: Der Dateiname <" +
                                  zeph::platform::WideToNarrow(missing) + "> existiert nicht!"));
}

#ifndef _WIN32

// The public functions on the process's context over the platform: the user's folders follow the
// XDG variables (a relative one counts as unset: the default below $HOME), the registry is the
// registry file, the module is the test program.
TEST(DirectoryResolution, PublicFunctionsOnTheLinuxPlatform) {
    const TempDirectory directory;
    const std::string root = directory.Path().string();
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    std::filesystem::create_directories(root + "/Alternative");
    std::filesystem::create_directories(root + "/tmp");
    directory.Write("registry.reg",
                    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TALPO Mora Compact]\n"
                    "\"ConfigDBLogDirK7000102\"=\"" +
                        root + "/Alternative\"\n");
    const ScopedVariable variables[] = {
        {"HOME", root + "/home/"},     {"XDG_STATE_HOME", root + "/state//"},
        {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", std::nullopt},
        {"TMPDIR", root + "/tmp"},     {kRegistryFileVariable, root + "/registry.reg"}};
    EXPECT_EQ(CDB_GetLogDir("K7000104", true), root + "/state/Talpo/Log/Mora/");
    EXPECT_EQ(CDB_GetLogDir(u"K7000102", true), NarrowToWide(root + "/Alternative/"));
    EXPECT_EQ(CDB_GetKonfigDirCurrentUser("K7000102", true),
              root + "/home/.config/Talpo/Konfig/MoraCompact/");
    // Without the maker's environment: the module's directory, the default program directory.
    EXPECT_EQ(CDB_GetKonfigDir("K7000104"), program.substr(0, program.rfind('/') + 1));
    EXPECT_EQ(CDB_GetSystemDir(1), CDB_GetKonfigDir("K7000104"));
    EXPECT_EQ(CDB_GetProgDir("K7000102", true), "/opt/TALPO/PROGRAMM/MoraCompacT/");
    EXPECT_EQ(CDB_GetSpecialFolderPath(CDB_DIRTYPE_LOCALAPPDATA), root + "/home/.local/share/");
    EXPECT_EQ(CDB_GetSpecialFolderPath(CDB_DIRTYPE_COMMON_APPDATA), "/var/lib/");
    EXPECT_EQ(CDB_GetSpecialFolderPath(CDB_DIRTYPE_PROGRAMFILES), "/opt/");
    EXPECT_EQ(CDB_GetSpecialFolderPath(ConfigDBDirType{6}), "");
    EXPECT_EQ(CBD_GetTempDir(), root + "/tmp/");
    EXPECT_EQ(CDB_GetThisDllPath(), NarrowToWide(program));
    EXPECT_EQ(CDB_GetThisDllDir(), CDB_GetKonfigDir("K7000104"));
    EXPECT_EQ(CDB_GetOsVersion(), 0);
    EXPECT_EQ(CDB_GetFileVersion(NarrowToWide(ZEPH_TEST_VERSIONED_LIBRARY)), u"5.6.3.4");
    EXPECT_TRUE(CDB_IsFullPath(u"/x") && !CDB_IsFullPath(u"x/y"));
    EXPECT_TRUE(CDB_CreateDirectory(root + "/made/deeper"));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/made/deeper"));
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
        const FileVersionReading reading =
            PlatformDirectoryEnvironment().ReadFileVersion(NarrowToWide(file));
        EXPECT_EQ(reading.step, c.step);
        EXPECT_EQ(reading.lastError, c.step == Step::Read ? 0u : uint32_t{ENOEXEC});
    }
}

#endif

}  // namespace
