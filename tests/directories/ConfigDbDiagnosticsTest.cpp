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

}  // namespace

// Only the word "ein", in any case, switches a feature on.
TEST(ConfigDbDiagnostics, SwitchValues) {
    for (const auto& [value, on] : {std::pair{"Ein", true}, {"eins", false}, {"on", false}}) {
        FakeDirectoryEnvironment env;
        SwitchFilesOn(env, env.Make("Trace"), value);
        ConfigDbContext context(env);
        context.EnsureInitialized();
        EXPECT_EQ(context.InternTraceActive(), on) << value;
        EXPECT_EQ(context.Settings().perQueryDumpOn, on) << value;
    }
}

TEST(ConfigDbDiagnostics, MissingDirectoryTurnsItsFeatureOff) {
    FakeDirectoryEnvironment env;
    const std::string missing = env.Path("Missing");
    SwitchFilesOn(env, missing);
    env.SetRegistry(kProduct, "ConfigDBLogDirK7000102", missing);
    // One byte too long for the library's value buffer, with its terminator.
    env.SetRegistry(kProduct, "ConfigDBTracingDirsDirectory", std::string(260, 'x'));
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
    EXPECT_TRUE(CapturedDiagnostics::Contains(
        "E Init: Fehler <234> beim Lesen des Eintrags \"ConfigDBTracingDirsDirectory\"!"));
}

// The three trace files and the alternative log directory: each start dumps the own component's
// five directories once, each query its answer; the writer's own failures reach the tracer.
TEST(ConfigDbDiagnostics, TraceFilesAndAlternativeLogDir) {
    FakeDirectoryEnvironment env;
    SwitchFilesOn(env, env.Make("Trace"));
    env.SetRegistry(kProduct, "ConfigDBLogDirK7000102", env.Make("Alternative"));
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    const std::string log = GetLogDir(context, "K7000104", true);
    EXPECT_EQ(GetLogDir(context, "K7000102", false), env.Path("Alternative/"));
    EXPECT_EQ(CapturedDiagnostics::Messages().back(),
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
    CapturedDiagnostics::Messages().clear();
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

TEST(ConfigDbDiagnostics, CreateDirectoryCreatesEachMissingParent) {
    FakeDirectoryEnvironment env;
    ConfigDbContext context(env);
    CapturedDiagnostics captured(context);
    EXPECT_TRUE(CreateDirectoryPath(context, env.Path("a/b/"), DirectoryScope::MachineWide));
    const std::vector<std::string> expected = {
        "I _CreateDirectory: Pfad '<" + env.Path("a") + ">' soll angelegt werden",
        "I _CreateDirectory: Pfad '<" + env.Path("a/b") + ">' soll angelegt werden",
        "I CDB_CreateDirectory: Verzeichnis <" + env.Path("a/b/") + "> wurde angelegt"};
    EXPECT_EQ(CapturedDiagnostics::Messages(), expected);
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
    env.moduleFile = "\\??\\" + env.Path("Module/x");
    EXPECT_EQ(GetModuleDir(context, true), env.Path("Module/"));
    env.moduleFile = env.Path(std::string(300, 'm'));
    EXPECT_EQ(GetModuleDir(context, false), env.Path("Host/")) << "the executable's own cache";
    ConfigDbContext fresh(env);
    EXPECT_EQ(GetModuleDir(fresh, true), "") << "a name longer than 259 characters is refused";
#ifdef _WIN32
    for (const auto& [path, full] : {std::pair{u"C:\\x.exe", true},
                                     {u"\\\\srv\\x.exe", true},
                                     {u"\\dir\\x.exe", false},
                                     {u"C:x.exe", false}}) {
#else
    for (const auto& [path, full] : {std::pair{u"/usr/bin/x", true}, {u"dir/x", false}}) {
#endif
        EXPECT_EQ(IsFullPath(path), full);
    }
}

// Old systems take the CSIDL interface; the code is cached once it is known. Vista SP2 and its
// text stand for the classification. A version block of another signature comes only from a
// damaged file.
TEST(ConfigDbDiagnostics, OsAndFileVersions) {
    FakeDirectoryEnvironment env;
    env.osVersion = {OsVersionReading::Source::Read, 0, 2, 5, 1, 2, 1, 0};
    ConfigDbContext context(env);
    EXPECT_EQ(GetSpecialFolderPath(context, CDB_DIRTYPE_APPDATA), env.Path("Local/"));
    EXPECT_EQ(env.csidls, std::vector<int32_t>{0x801A});
    env.osVersion = {};
    EXPECT_EQ(GetOsVersion(context), 3);
    EXPECT_EQ(ClassifyOsVersion({OsVersionReading::Source::Read, 0, 2, 6, 0, 2, 1, 0}), 9);
    EXPECT_STREQ(GetOsVersionText(9), "Windows VISTA SP2");
    EXPECT_STREQ(GetOsVersionText(42), "Windows Version UNKNOWN");
    CapturedDiagnostics captured(context);
    std::ofstream(env.moduleFile) << "x";
    env.fileVersion = {FileVersionReading::Step::Read, 0, {0x1234, 1, 2, 3, 4}};
    EXPECT_EQ(GetFileVersion(context, FakeDirectoryEnvironment::Wide(env.moduleFile)), u"0.0.0.0");
    EXPECT_TRUE(CapturedDiagnostics::Contains(
        "E _GetFileVersionFromFile: Die Signatur <0x00001234> ist unbekannt!"));
}
