#include "directories/ShellFolderPath.h"

#include <array>

#include "directories/DiagnosticWriter.h"
#include "directories/NarrowText.h"
#include "directories/OsVersion.h"
#include "directories/PathText.h"

namespace configdb {

namespace {

struct FolderKind {
    KnownFolder folder;
    KnownFolder fallback;  // asked with the default-path flag when the first call fails
    int32_t csidl;
};

constexpr std::array<FolderKind, 6> kFolderKinds = {{
    {KnownFolder::LocalAppDataLow, KnownFolder::LocalAppDataLow, 0x801C},
    {KnownFolder::LocalAppData, KnownFolder::LocalAppData, 0x801C},
    {KnownFolder::RoamingAppData, KnownFolder::RoamingAppData, 0x801A},
    {KnownFolder::ProgramData, KnownFolder::ProgramData, 0x23},
    {KnownFolder::ProgramFilesX86, KnownFolder::ProgramData, 0x2A},
    {KnownFolder::ProgramFilesX86, KnownFolder::ProgramData, 0x2A},
}};

bool UsesOldInterface(int32_t osVersionCode) {
    return osVersionCode >= 1 && osVersionCode <= 6;
}

std::string FolderByCsidl(ConfigDbContext& context, const FolderKind& kind) {
    std::string path;
    const int32_t result = context.Environment().FolderPathByCsidl(kind.csidl, path);
    if (result < 0) {
        TracerWrite(context, true, "CDB_GetSpecialFolderPath: Fehler <%d> von SHGetFolderPathA",
                    result);
        path.clear();
    }
    return path;
}

std::string KnownFolderOf(ConfigDbContext& context, const FolderKind& kind) {
    DirectoryEnvironment& environment = context.Environment();
    std::string path;
    int32_t result = environment.KnownFolderPath(kind.folder, kKnownFolderCreate, path);
    if (result >= 0) {
        return path;
    }
    TracerWrite(context, true,
                "CDB_GetSpecialFolderPath: Fehler <%d> von SHGetKnownFolderPath - versuche mit "
                "'KF_Flag_Default_Path'",
                result);
    result = environment.KnownFolderPath(kind.fallback,
                                         kKnownFolderCreate | kKnownFolderDefaultPath, path);
    if (result < 0) {
        TracerWrite(context, true, "CDB_GetSpecialFolderPath: Fehler <%d> von SHGetKnownFolderPath",
                    result);
        path.clear();
    }
    return path;
}

}  // namespace

std::string GetSpecialFolderPath(ConfigDbContext& context, ConfigDBDirType type) {
    const int32_t osVersionCode = GetOsVersion(context);
    if (type < 0 || static_cast<size_t>(type) >= kFolderKinds.size()) {
        TracerWrite(context, true,
                    "CDB_GetSpecialFolderPath: Falscher ConfigDBDirType <%d> wurde übergeben!"_nt,
                    static_cast<int>(type));
        return {};
    }
    const FolderKind& kind = kFolderKinds[static_cast<size_t>(type)];
    std::string path = UsesOldInterface(osVersionCode) ? FolderByCsidl(context, kind)
                                                       : KnownFolderOf(context, kind);
    if (path.size() > kMaxPathChars) {
        TracerWrite(context, true,
                    "CDB_GetSpecialFolderPath: Pfad <%s> ist länger als %d Zeichen!"_nt,
                    path.c_str(), static_cast<int>(kMaxPathChars));
        path.clear();
    }
    AppendSeparator(path);
    return path;
}

}  // namespace configdb
