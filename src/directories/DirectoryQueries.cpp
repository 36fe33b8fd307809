#include "directories/DirectoryQueries.h"

#include "directories/DiagnosticWriter.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/PathPrimitives.h"
#include "directories/PathText.h"
#include "directories/RegistryLookups.h"
#include "directories/ShellFolderPath.h"

namespace configdb {

namespace {

const QueryTexts kProgTexts = {"CDB_GetProgDir: Programmpfad <%s> = \"%s\"",
                               "CDB_GetProgDir: Konnten keinen Programmpfad für <%s> ermitteln!"_nt,
                               "%s Programm <%s>"};
const QueryTexts kDataTexts = {"CDB_GetDataDir: Datenpfad <%s> = \"%s\"",
                               "CDB_GetDataDir: Konnten keinen Datenpfad für <%s> ermitteln!"_nt,
                               "%s Daten <%s>"};
const QueryTexts kKonfigTexts = {
    "CDB_GetKonfigDir: KonfigPfad <%s> = \"%s\"",
    "CDB_GetKonfigDir: Konnten keinen KonfigPfad für <%s> ermitteln!"_nt, "%s Konfig <%s>"};
const QueryTexts kUserKonfigTexts = {
    "CDB_GetKonfigDirCurrentUser: KonfigPfad des Benutzers <%s> = \"%s\"",
    "CDB_GetKonfigDirCurrentUser: konnten keinen KonfigPfad des Benutzers für <%s> "
    "ermitteln!"_nt,
    "%s Konfig des Benutzers <%s>"};
const QueryTexts kLogTexts = {"CDB_GetLogDir: LogPfad <%s> = \"%s\"",
                              "CDB_GetLogDir: Konnten keinen LogPfad für <%s> ermitteln!"_nt,
                              "%s Log <%s>"};

constexpr char kDefaultProgramSubPath[] = "TALPO\\PROGRAMM\\MoraCompacT";

// The default program directory of the own component below the program-files folder.
void UseDefaultProgramDir(ConfigDbContext& context, std::string& path) {
    const std::string folder = GetSpecialFolderPath(context, CDB_DIRTYPE_PROGRAMFILES_X86);
    if (folder.empty()) {
        return;
    }
    std::string subPath = kDefaultProgramSubPath;
    for (char& c : subPath) {
        c = c == '\\' ? kPathSeparator : c;
    }
    path = folder + subPath;
    TracerWrite(context, false, "CDB_GetProgDir: Default Programmpfad eingestellt.");
}

}  // namespace

std::string FinishQuery(ConfigDbContext& context, const QueryTexts& texts,
                        const std::string& compId, std::string path) {
    if (PathExists(path)) {
        TracerWrite(context, false, texts.success, compId.c_str(), path.c_str());
    } else {
        TracerWrite(context, true, texts.failure, compId.c_str());
    }
    AppendSeparator(path);
    if (context.Settings().perQueryDumpOn) {
        InternTrace(context, context.Settings().perQueryDumpFile.c_str(), texts.dump,
                    compId.c_str(), path.c_str());
    }
    return path;
}

std::string GetProgDir(ConfigDbContext& context, const std::string& compId, bool useDefault) {
    context.EnsureInitialized();
    std::string path = GetProgDirFromRegistry(context, compId);
    TracerWrite(context, false, "CDB_GetProgDir: Programmpfad <%s> über Registry ermittelt."_nt,
                path.c_str());
    if (!PathExists(path)) {
        if (!path.empty()) {
            TracerWrite(context, false,
                        "CDB_GetProgDir: Programmpfad via Registry existiert nicht: \"%s\"",
                        path.c_str());
        } else {
            TracerWrite(context, false,
                        "CDB_GetProgDir: Via Registry kein Programmpfad ermittelbar.");
        }
        if (useDefault && IsOwnComponent(compId)) {
            UseDefaultProgramDir(context, path);
        } else {
            path = GetModuleDir(context, true);
        }
    }
    return FinishQuery(context, kProgTexts, compId, path);
}

std::string GetDataDir(ConfigDbContext& context, const std::string& compId, bool create,
                       const std::string& dataDirName) {
    context.EnsureInitialized();
    std::string path = GuessLocalDataDir(context, compId, dataDirName, create);
    TracerWrite(context, false,
                "CDB_GetDataDir: Lokales Datenverzeichnis über Alternative ermittelt: \"%s\""_nt,
                path.c_str());
    return FinishQuery(context, kDataTexts, compId, path);
}

std::string GetKonfigDir(ConfigDbContext& context, const std::string& compId) {
    context.EnsureInitialized();
    std::string path = GuessLocalKonfigDir(context, compId);
    TracerWrite(context, false,
                "CDB_GetKonfigDir: KonfigPfad über Alternative ermittelt: \"%s\""_nt, path.c_str());
    if (!PathExists(path)) {
        if (!path.empty()) {
            TracerWrite(context, false,
                        "CDB_GetKonfigDir: KonfigPfad via Registry existiert nicht: \"%s\"",
                        path.c_str());
        } else {
            TracerWrite(context, false,
                        "CDB_GetKonfigDir: Via Registry kein KonfigPfad ermittelbar.");
        }
        path = GetModuleDir(context, true);
    }
    return FinishQuery(context, kKonfigTexts, compId, path);
}

std::string GetKonfigDirCurrentUser(ConfigDbContext& context, const std::string& compId,
                                    bool create) {
    context.EnsureInitialized();
    std::string path = GuessLocalUserKonfigDir(context, compId, create);
    TracerWrite(context, false,
                "CDB_GetKonfigDirCurrentUser: Lokales Konfigverzeichnis über Alternative "
                "ermittelt: \"%s\""_nt,
                path.c_str());
    return FinishQuery(context, kUserKonfigTexts, compId, path);
}

std::string GetLogDir(ConfigDbContext& context, const std::string& compId, bool create) {
    context.EnsureInitialized();
    std::string path;
    if (context.Settings().alternativeLogDirOn && IsOwnComponent(compId)) {
        path = context.Settings().alternativeLogDir;
    }
    if (!PathExists(path)) {
        path = GuessLocalLogDir(context, compId, create);
        TracerWrite(context, false,
                    "CDB_GetLogDir: Lokales Logverzeichnis über Alternative ermittelt: \"%s\""_nt,
                    path.c_str());
    }
    return FinishQuery(context, kLogTexts, compId, path);
}

std::string GetSystemDir(ConfigDbContext& context, uint32_t mode) {
    context.EnsureInitialized();
    std::string path;
    if (mode == 1) {
        path = GetSystemDirFromRegistry(context);
        TracerWrite(context, false,
                    "CDB_GetSystemDir: Talpo-Systempfad <%s> über Registry ermittelt."_nt,
                    path.c_str());
    } else {
        path = GetProgDirFromRegistry(context, kOwnComponentId);
    }
    if (!PathExists(path)) {
        path = GetModuleDir(context, true);
    }
    if (PathExists(path)) {
        TracerWrite(context, false, "CDB_GetSystemDir: Systempfad = \"%s\"", path.c_str());
    } else {
        TracerWrite(context, true, "CDB_GetSystemDir: Konnten keinen Systempfad ermitteln!");
    }
    AppendSeparator(path);
    return path;
}

}  // namespace configdb
