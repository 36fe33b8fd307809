// The fallback chains of the directory queries: registry, shell folders, the temporary directory
// and the program directory, creating what the caller asks to be created. What lies below the
// user's own shell folders or the temporary directory is created for the user alone; what the
// registry names or the program-data folder holds serves the machine (DirectoryScope).
#include <cctype>

#include "directories/DiagnosticWriter.h"
#include "directories/DirectoryQueries.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/PathPrimitives.h"
#include "directories/PathText.h"
#include "directories/RegistryLookups.h"
#include "directories/ShellFolderPath.h"

namespace configdb {

namespace {

char LowerCase(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

constexpr DirectoryScope kPerUser = DirectoryScope::PerUser;
constexpr DirectoryScope kMachineWide = DirectoryScope::MachineWide;

void CreateIfMissing(ConfigDbContext& context, const std::string& path, bool create,
                     DirectoryScope scope) {
    if (create && !PathExists(path)) {
        CreateDirectoryPath(context, path, scope);
    }
}

// Below an existing data directory, the named one (created when asked).
void AppendDataDirName(ConfigDbContext& context, std::string& path, const std::string& name,
                       bool create, DirectoryScope scope) {
    if (!name.empty() && PathExists(path)) {
        AppendName(path, name);
        CreateIfMissing(context, path, create, scope);
    }
}

}  // namespace

bool IsTalpoEnvironment(ConfigDbContext& context, const std::string& compId) {
    if (!PathExists(GetSystemDir(context, 1))) {
        return false;
    }
    if (compId.empty()) {
        return true;
    }
    const std::string progDir = GetProgDir(context, compId, false);
    return !progDir.empty() && progDir.find(compId) != std::string::npos;
}

void MoveToProgramDrive(ConfigDbContext& context, const std::string& compId, std::string& path) {
#ifdef _WIN32
    const std::string progDir = GetProgDir(context, compId, false);
    if (progDir.empty() || path.empty()) {
        return;
    }
    if (LowerCase(path[0]) != LowerCase(progDir[0])) {
        path[0] = LowerCase(progDir[0]);
        CreateDirectoryPath(context, path, kMachineWide);
    }
#else
    // Linux has no drives: the path stays where it is.
    (void)context;
    (void)compId;
    (void)path;
    (void)LowerCase;
#endif
}

std::string GuessLocalDataDir(ConfigDbContext& context, const std::string& compId,
                              const std::string& dataDirName, bool create) {
    std::string path = GetDataDirFromRegistry(context, compId, dataDirName);
    if (!path.empty()) {
        TracerWrite(context, false,
                    "_GuessLocalDataDir: Datenpfad <%s> über Registry ermittelt."_nt, path.c_str());
    }
    if (PathExists(path)) {
        return path;
    }
    if (!path.empty() && create) {
        TracerWrite(context, false, "_GuessLocalDataDir: Versuchen Datenpfad \"%s\" anzulegen.",
                    path.c_str());
        CreateDirectoryPath(context, path, kMachineWide);
        if (!PathExists(path)) {
            MoveToProgramDrive(context, compId, path);
        }
    }
    if (!PathExists(path) && !IsTalpoEnvironment(context, compId)) {
        TracerWrite(context, false,
                    "_GuessLocalDataDir: Keine Talpo-Umgebung, nehmen ProgrammData-Verzeichnis.");
        path = GetSpecialFolderPath(context, CDB_DIRTYPE_COMMON_APPDATA);
        if (!path.empty()) {
            path += TalpoPath(compId, "Daten");
            CreateIfMissing(context, path, create, kMachineWide);
            AppendDataDirName(context, path, dataDirName, create, kMachineWide);
        }
    }
    if (!PathExists(path) && create) {
        TracerWrite(context, false,
                    "_GuessLocalDataDir: Immer noch kein Daten-Verzeichnis, versuchen es mit "
                    "TempDirLow + TalpoPfad.");
        path = GetTempDirLow(context) + TalpoPath(compId, "Daten");
        CreateIfMissing(context, path, true, kPerUser);
        AppendDataDirName(context, path, dataDirName, true, kPerUser);
    }
    return path;
}

std::string GuessLocalKonfigDir(ConfigDbContext& context, const std::string& compId) {
    std::string path = GetKonfigDirFromRegistry(context, compId);
    if (!path.empty()) {
        TracerWrite(context, false,
                    "_GuessLocalKonfigDir: Konfigpfad <%s> über Registry ermittelt."_nt,
                    path.c_str());
    }
    if (PathExists(path)) {
        return path;
    }
    path.clear();
    if (!IsTalpoEnvironment(context, compId)) {
        TracerWrite(context, false,
                    "_GuessLocalKonfigDir: Keine Talpo-Umgebung, nehmen ProgrammData-Verzeichnis.");
        // The machine-wide configuration lies in the program-data folder, as the message says
        // and as the data directory's chain does.
        path = GetSpecialFolderPath(context, CDB_DIRTYPE_COMMON_APPDATA);
        if (PathExists(path)) {
            path += TalpoPath(compId, "Konfig");
            if (!PathExists(path)) {
                TracerWrite(context, true,
                            "_GuessLocalKonfigDir: Verzeichnis <%s> ist nicht vorhanden!",
                            path.c_str());
                path.clear();
            }
        }
    }
    if (PathExists(path)) {
        return path;
    }
    TracerWrite(context, false,
                "_GuessLocalKonfigDir: Immer noch kein Konfig-Verzeichnis, nehmen jetzt das "
                "Programmverzeichnis.");
    path = GetProgDir(context, compId, false);
    if (!PathExists(path)) {
        TracerWrite(context, true, "_GuessLocalKonfigDir: Verzeichnis <%s> ist nicht vorhanden!",
                    path.c_str());
        path.clear();
    }
    return path;
}

std::string GuessLocalUserKonfigDir(ConfigDbContext& context, const std::string& compId,
                                    bool create) {
    std::string path = GetSpecialFolderPath(context, CDB_DIRTYPE_APPDATA);
    if (!path.empty()) {
        path += TalpoPath(compId, "Konfig");
        TracerWrite(context, false,
                    "_GuessLocalUserKonfigDir: Benutzerspezifischer Konfigpfad <%s>", path.c_str());
        if (!PathExists(path) && create) {
            TracerWrite(context, false,
                        "_GuessLocalUserKonfigDir: Versuchen Konfigpfad \"%s\" anzulegen.",
                        path.c_str());
            CreateDirectoryPath(context, path, kPerUser);
        }
    }
    if (PathExists(path)) {
        return path;
    }
    TracerWrite(context, false,
                "_GuessLocalUserKonfigDir: Immer noch kein Konfig-Verzeichnis, versuchen es mit "
                "TempDir + TalpoPfad");
    path = GetTempDirLow(context) + TalpoPath(compId, "Konfig");
    if (create) {
        TracerWrite(context, false,
                    "_GuessLocalUserKonfigDir: Versuchen Konfigpfad \"%s\" anzulegen.",
                    path.c_str());
        CreateDirectoryPath(context, path, kPerUser);
    }
    return path;
}

std::string GuessLocalLogDir(ConfigDbContext& context, const std::string& compId, bool create) {
    std::string path = GetSpecialFolderPath(context, CDB_DIRTYPE_LOCALAPPDATA_LOW);
    if (!path.empty()) {
        path += TalpoPath(compId, "Log");
        TracerWrite(context, false, "_GuessLocalLogDir: Benutzerspezifischer Logpfad <%s>",
                    path.c_str());
        if (!PathExists(path) && create) {
            TracerWrite(context, false, "_GuessLocalLogDir: Versuchen Logpfad \"%s\" anzulegen.",
                        path.c_str());
            CreateDirectoryPath(context, path, kPerUser);
        }
    }
    if (!PathExists(path)) {
        path = GetLogDirFromRegistry(context, compId);
        TracerWrite(context, false, "_GuessLocalLogDir: Logpfad <%s> über Registry ermittelt."_nt,
                    path.c_str());
    }
    if (PathExists(path) || !create) {
        return path;
    }
    if (!path.empty()) {
        TracerWrite(context, false, "_GuessLocalLogDir: Versuchen Logpfad \"%s\" anzulegen.",
                    path.c_str());
        CreateDirectoryPath(context, path, kMachineWide);
        if (!PathExists(path)) {
            MoveToProgramDrive(context, compId, path);
        }
    }
    if (!PathExists(path)) {
        TracerWrite(context, false,
                    "_GuessLocalLogDir: Immer noch kein Log-Verzeichnis, versuchen es mit TempDir "
                    "+ TalpoPfad");
        path = GetTempDirLow(context) + TalpoPath(compId, "Log");
        CreateDirectoryPath(context, path, kPerUser);
    }
    return path;
}

}  // namespace configdb
