// The directory library's switches, trace files and messages: what Init reads from the registry,
// what reaches the tracer and the files, and the messages of the path primitives and versions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeDirectoryEnvironment.h"
#include "FileText.h"
#include "directories/DiagnosticWriter.h"
#include "directories/DirectoryQueries.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/OsVersion.h"
#include "directories/PathPrimitives.h"
#include "directories/ShellFolderPath.h"

using namespace configdb;

namespace {

constexpr char kProduct[] = "SOFTWARE\\TALPO Mora Compact";

// The messages of a trace file's lines: what follows "[pid] [tid] ".
std::vector<std::string> FileMessages(const std::string& file) {
    std::vector<std::string> messages = ReadFileLines(file);
    for (std::string& line : messages) {
        line = line.substr(line.find("] ", line.find("] [") + 1) + 2);
    }
    return messages;
}

}  // namespace

TEST(ConfigDbDiagnostics, InternalTraceSwitch) {
    const struct {
        const char* value;
        bool on;
    } cases[] = {{"ein", true}, {"EIN", true}, {"Ein", true}, {"1", false}, {"on", false}};
    for (const auto& c : cases) {
        FakeDirectoryEnvironment env;
        env.SetRegistry(kProduct, "LogVia_InternTrace", c.value);
        env.SetRegistry(kProduct, "LogVia_InternTraceDirectory", env.Make("Trace"));
        ConfigDbContext context(env);
        GetTempDir(context);
        const auto lines = FileMessages(env.Path("Trace/ConfigDB_Intern.log"));
        EXPECT_EQ(!lines.empty() && lines.back().rfind("INFO - CBD_GetTempDir: ", 0) == 0, c.on)
            << c.value;
    }
}

TEST(ConfigDbDiagnostics, MissingDirectoryTurnsItsFeatureOff) {
    FakeDirectoryEnvironment env;
    const std::string missing = env.Path("Missing");
    for (const char* name :
         {"LogVia_InternTraceDirectory", "ConfigDBLibDirsDirectory", "ConfigDBLogDirK7000102"}) {
        env.SetRegistry(kProduct, name, missing);
    }
    env.SetRegistry(kProduct, "LogVia_InternTrace", "ein");
    env.SetRegistry(kProduct, "ConfigDBLibDirsActive", "ein");
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    context.EnsureInitialized();
    EXPECT_FALSE(context.InternTraceActive());
    EXPECT_FALSE(context.Settings().perQueryDumpOn);
    EXPECT_FALSE(context.Settings().alternativeLogDirOn);
    const std::string missingText = "E Init: Verzeichnis <" + missing + "> existiert nicht, um ";
    for (const char* text :
         {"internes Log auszugeben!", "Pfade für Komponenten auszugeben!"_nt,
          "als alternativer Log-Pfad für die Komponente K7000102 zurückgegeben zu werden!"_nt}) {
        EXPECT_TRUE(CapturedDiagnostics::Contains(missingText + text)) << text;
    }
}

// Each process start appends the own component's five directories, in order.
TEST(ConfigDbDiagnostics, OnceDumpWritesFiveLinesPerStart) {
    FakeDirectoryEnvironment env;
    env.SetRegistry(kProduct, "ConfigDBTracingDirsActive", "ein");
    env.SetRegistry(kProduct, "ConfigDBTracingDirsDirectory", env.Make("Dump"));
    const std::string file = env.Path("Dump/K7000102_TracingDirs.log");
    for (int start = 0; start < 2; ++start) {
        ConfigDbContext context(env);
        GetSystemDir(context, 1);
        GetSystemDir(context, 1);
    }
    const auto lines = FileMessages(file);
    ASSERT_EQ(lines.size(), 10u);
    const char* kinds[] = {"Programm <", "Daten <", "Konfig <", "Log <", "Konfig Benutzer <"};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(kinds[i % 5], 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines[3], "Log <" + env.Path("LocalLow/Talpo/Log/Mora/") + ">");
}

// A link planted under each trace file's name: the file it names keeps its content, and the
// library answers and traces on as without it.
TEST(ConfigDbDiagnostics, LinksUnderTheTraceFileNamesAreNotWrittenThrough) {
    using Plant = void (*)(const std::filesystem::path&, const std::filesystem::path&);
    const std::pair<const char*, Plant> links[] = {
#ifndef _WIN32  // Wine 8 makes no symbolic links
        {"symbolic", [](const auto& target, const auto& link) { create_symlink(target, link); }},
#endif
        {"hard", [](const auto& target, const auto& link) { create_hard_link(target, link); }}};
    const char* files[] = {"ConfigDB_Intern.log", "K7000102_TracingDirs.log",
                           "ConfigDB_Lib_Dirs.log"};
    for (const auto& [kind, plant] : links) {
        SCOPED_TRACE(kind);
        FakeDirectoryEnvironment env;
        for (const auto& [name, directory] :
             {std::pair{"LogVia_InternTrace", "LogVia_InternTraceDirectory"},
              {"ConfigDBTracingDirsActive", "ConfigDBTracingDirsDirectory"},
              {"ConfigDBLibDirsActive", "ConfigDBLibDirsDirectory"}}) {
            env.SetRegistry(kProduct, name, "ein");
            env.SetRegistry(kProduct, directory, env.Make("Trace"));
        }
        for (const char* file : files) {
            std::ofstream(env.Make("Elsewhere") + kPathSeparator + file) << "kept";
            plant(env.Path("Elsewhere/") + file, env.Path("Trace/") + file);
        }
        ConfigDbContext context(env);
        EXPECT_EQ(GetLogDir(context, "K7000102", true), env.Path("LocalLow/Talpo/Log/Mora/"));
        EXPECT_TRUE(context.InternTraceActive());
        for (const char* file : files) {
            EXPECT_EQ(ReadFileText(env.Path("Elsewhere/") + file), "kept") << file;
        }
    }
}

TEST(ConfigDbDiagnostics, PerQueryDumpLineAndAlternativeLogDir) {
    FakeDirectoryEnvironment env;
    env.SetRegistry(kProduct, "ConfigDBLibDirsActive", "ein");
    env.SetRegistry(kProduct, "ConfigDBLibDirsDirectory", env.Make("Dump"));
    env.SetRegistry(kProduct, "ConfigDBLogDirK7000102", env.Make("Alternative"));
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    const std::string log = GetLogDir(context, "K7000104", true);
    EXPECT_EQ(GetLogDir(context, "K7000102", false), env.Path("Alternative/"));
    const auto lines = FileMessages(env.Path("Dump/ConfigDB_Lib_Dirs.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "K7000104 Log <" + log + ">");
    EXPECT_EQ(lines[1], "K7000102 Log <" + env.Path("Alternative/") + ">");
    EXPECT_EQ(CapturedDiagnostics::Messages().back(),
              "I CDB_GetLogDir: LogPfad <K7000102> = \"" + env.Path("Alternative/") + "\"");
}

TEST(ConfigDbDiagnostics, CreateDirectoryCreatesEachMissingParent) {
    FakeDirectoryEnvironment env;
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    EXPECT_TRUE(CreateDirectoryPath(context, env.Path("a/b/c/"), DirectoryScope::MachineWide));
    const std::vector<std::string> expected = {
        "I _CreateDirectory: Pfad '<" + env.Path("a") + ">' soll angelegt werden",
        "I _CreateDirectory: Pfad '<" + env.Path("a/b") + ">' soll angelegt werden",
        "I _CreateDirectory: Pfad '<" + env.Path("a/b/c") + ">' soll angelegt werden",
        "I CDB_CreateDirectory: Verzeichnis <" + env.Path("a/b/c/") + "> wurde angelegt"};
    EXPECT_EQ(CapturedDiagnostics::Messages(), expected);
    CapturedDiagnostics::Messages().clear();
    EXPECT_TRUE(CreateDirectoryPath(context, env.Path("a/b"), DirectoryScope::MachineWide));
    EXPECT_TRUE(CapturedDiagnostics::Messages().empty());
    std::ofstream(env.Path("file")) << "x";
    EXPECT_FALSE(CreateDirectoryTree(context, FakeDirectoryEnvironment::Wide(env.Path("file/")),
                                     DirectoryScope::PerUser));
    EXPECT_EQ(LastErrorCode(), kErrorFileExists);
}

TEST(ConfigDbDiagnostics, PathPrimitives) {
    FakeDirectoryEnvironment env;
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    EXPECT_EQ(GetSpecialFolderPath(context, static_cast<ConfigDBDirType>(6)), "");
    EXPECT_EQ(CapturedDiagnostics::Messages().back(),
              "E CDB_GetSpecialFolderPath: Falscher ConfigDBDirType <6> wurde übergeben!"_nt);
    env.folders.erase(KnownFolder::ProgramFilesX86);
    EXPECT_EQ(GetSpecialFolderPath(context, CDB_DIRTYPE_PROGRAMFILES), env.Path("ProgramData/"));
    EXPECT_EQ(env.knownFolderFlags.back(), kKnownFolderCreate | kKnownFolderDefaultPath);
    env.tempPath = env.Make("Local/Temp/Low") + kPathSeparator;
    EXPECT_EQ(GetTempDirLow(context), env.tempPath);
    env.moduleFile = "\\??\\" + env.Path("Module/x");
    EXPECT_EQ(GetModuleDir(context, true), env.Path("Module/"));
    env.moduleFile = env.Path(std::string(300, 'm'));
    EXPECT_EQ(GetModuleDir(context, false), env.Path("Host/")) << "the executable's own cache";
    ConfigDbContext fresh(env);
    EXPECT_EQ(GetModuleDir(fresh, true), "") << "a name longer than 259 characters is refused";
}

TEST(ConfigDbDiagnostics, FullPaths) {
#ifdef _WIN32
    const std::pair<const char16_t*, bool> cases[] = {{u"C:\\prog.exe", true},
                                                      {u"\\\\srv\\share\\x.exe", true},
                                                      {u"x.exe", false},
                                                      {u"\\dir\\prog.exe", false},
                                                      {u"C:prog.exe", false}};
#else
    const std::pair<const char16_t*, bool> cases[] = {
        {u"/prog", true}, {u"/usr/bin/prog", true}, {u"prog", false}, {u"dir/prog", false}};
#endif
    for (const auto& [path, full] : cases) {
        EXPECT_EQ(IsFullPath(path), full);
    }
}

TEST(ConfigDbDiagnostics, OsVersionCodes) {
    using Source = OsVersionReading::Source;
    const struct {
        uint32_t major, minor, sp, product;
        int32_t metric, code;
    } cases[] = {
        {5, 1, 0, 1, 0, 1},    {5, 1, 3, 1, 0, 4},    {5, 1, 4, 1, 0, 1},   {5, 2, 0, 3, 1, 6},
        {6, 0, 2, 1, 0, 9},    {6, 0, 0, 3, 0, 10},   {6, 1, 2, 1, 0, 11},  {6, 1, 1, 1, 0, 12},
        {6, 3, 0, 3, 0, 17},   {10, 0, 0, 1, 0, 18},  {10, 0, 0, 3, 0, 19}, {10, 1, 0, 1, 0, 0},
        {11, 0, 0, 1, 0, 100}, {11, 0, 0, 2, 0, 101}, {6, 4, 0, 1, 0, 0},   {5, 0, 0, 1, 0, 0}};
    for (const auto& c : cases) {
        const OsVersionReading reading{Source::Read, 0,    2,         c.major,
                                       c.minor,      c.sp, c.product, c.metric};
        EXPECT_EQ(ClassifyOsVersion(reading), c.code) << c.major << "." << c.minor;
    }
    EXPECT_EQ(ClassifyOsVersion({Source::Read, 0, 1, 10, 0, 0, 1, 0}), 0) << "not NT";
    EXPECT_STREQ(GetOsVersionText(11), "Windows 7");
    EXPECT_STREQ(GetOsVersionText(42), "Windows Version UNKNOWN");
}

// Old systems take the CSIDL interface; the code is cached once it is known.
TEST(ConfigDbDiagnostics, OsVersionSelectsTheShellInterface) {
    FakeDirectoryEnvironment env;
    env.osVersion = {OsVersionReading::Source::Read, 0, 2, 5, 1, 2, 1, 0};
    ConfigDbContext context(env);
    EXPECT_EQ(GetSpecialFolderPath(context, CDB_DIRTYPE_APPDATA), env.Path("Local/"));
    EXPECT_EQ(env.csidls, std::vector<int32_t>{0x801A});
    env.osVersion = {};
    EXPECT_EQ(GetOsVersion(context), 3);
}

// The platform's readings of real files are checked with the platform (PlatformFileVersion); a
// block of another signature comes only from a damaged file.
TEST(ConfigDbDiagnostics, FileVersionOfAnUnknownSignatureIsNone) {
    FakeDirectoryEnvironment env;
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    std::ofstream(env.moduleFile) << "x";
    env.fileVersion = {FileVersionReading::Step::Read, 0, {0x1234, 1, 2, 3, 4}};
    EXPECT_EQ(GetFileVersion(context, FakeDirectoryEnvironment::Wide(env.moduleFile)), u"0.0.0.0");
    EXPECT_TRUE(CapturedDiagnostics::Contains(
        "E _GetFileVersionFromFile: Die Signatur <0x00001234> ist unbekannt!"));
}

// The writer reports on itself through the tracer; with nobody listening it does nothing.
TEST(ConfigDbDiagnostics, WriterFailuresReachTheTracer) {
    FakeDirectoryEnvironment env;
    env.SetRegistry(kProduct, "LogVia_InternTrace", "ein");
    env.SetRegistry(kProduct, "LogVia_InternTraceDirectory", env.Make("Trace"));
    ConfigDbContext context(env);
    context.EnsureInitialized();
    CapturedDiagnostics captured(context);
    TracerWrite(context, false, "%s", "");
    TracerWrite(context, true, "CDB_GetLogDir: %s", "x");
    const std::vector<std::string> expected = {"E Fehler im Format des Tracing-Strings!",
                                               "E CDB_GetLogDir: x"};
    EXPECT_EQ(CapturedDiagnostics::Messages(), expected);
    InternTrace(context, env.Path("Trace/ConfigDB_Intern.log").c_str(), "%s", "");
    const auto lines = FileMessages(env.Path("Trace/ConfigDB_Intern.log"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "ERROR - CDB_GetLogDir: x");
    EXPECT_EQ(lines.back(), "---------- (Keine Info zum Ausgeben verfügbar, iFormatLen <0>)"_nt);
}
