#include "directories/PathPrimitives.h"

#include "directories/DiagnosticWriter.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/PathText.h"
#include "platform/TextConversion.h"

namespace configdb {

namespace {

constexpr char16_t kWideSeparator = static_cast<char16_t>(kPathSeparator);

std::string Narrow(const std::u16string& text) {
    return zeph::platform::WideToNarrow(text);
}

// The module's file name, from the cache or the system; a name too long for the library's buffer
// is refused.
std::string ModuleFileName(ConfigDbContext& context, bool thisModule) {
    std::string fileName = context.CachedModuleFileName(thisModule);
    if (!fileName.empty()) {
        return fileName;
    }
    fileName = context.Environment().ModuleFileName(thisModule);
    if (fileName.size() > kMaxPathChars) {
        TracerWrite(context, true, "_GetModuleDir: Dateiname <%s> ist länger als %d Zeichen!"_nt,
                    fileName.c_str(), static_cast<int>(kMaxPathChars));
        return {};
    }
    context.CacheModuleFileName(thisModule, fileName);
    return fileName;
}

#ifdef _WIN32
constexpr char kSeparators[] = "\\/";
#else
constexpr char kSeparators[] = "/";
#endif

bool IsSeparator(char16_t c) {
    for (const char separator : kSeparators) {
        if (separator != '\0' && c == static_cast<char16_t>(separator)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CreateDirectoryPath(ConfigDbContext& context, const std::string& path, DirectoryScope scope) {
    if (path.empty()) {
        TracerWrite(context, true, "%s", "CDB_CreateDirectory: Kein Pfad übergeben!"_nt);
        return false;
    }
    const std::u16string wide = ConvertToUnicode(context, path);
    if (PathExists(wide)) {
        return true;
    }
    const bool created = CreateDirectoryTree(context, wide, scope);
    if (created) {
        TracerWrite(context, false, "CDB_CreateDirectory: Verzeichnis <%s> wurde angelegt",
                    Narrow(wide).c_str());
    } else {
        const int error = static_cast<int>(LastErrorCode());
        TracerWrite(context, true,
                    "CDB_CreateDirectory: Fehler <%d> beim Anlegen des Verzeichnisses <%s>!", error,
                    Narrow(wide).c_str());
    }
    return created;
}

bool CreateDirectoryTree(ConfigDbContext& context, const std::u16string& requested,
                         DirectoryScope scope) {
    try {
        std::u16string path = requested;
        if (!path.empty() && path.back() == kWideSeparator) {
            path.pop_back();
        }
        const EntryKind kind = EntryKindOf(path);
        if (kind == EntryKind::Directory) {
            return true;
        }
        if (kind == EntryKind::Other) {
            TracerWrite(context, true, "_CreateDirectory: Angeforderter Pfad ist eine Datei (<%s>)",
                        Narrow(path).c_str());
            SetLastErrorCode(kErrorFileExists);
            return false;
        }
        const size_t separator = path.rfind(kWideSeparator);
        if (separator != std::u16string::npos && separator >= kFirstParentSeparator &&
            !CreateDirectoryTree(context, path.substr(0, separator), scope)) {
            return false;
        }
        TracerWrite(context, false, "_CreateDirectory: Pfad '<%s>' soll angelegt werden",
                    Narrow(path).c_str());
        return MakeOneDirectory(path, scope);
    } catch (...) {
        TracerWrite(context, true, "_CreateDirectory: Im Catch...");
        return false;
    }
}

std::string GetTempDir(ConfigDbContext& context) {
    context.EnsureInitialized();
    std::string path = context.Environment().TempPath();
    if (path.size() > kMaxPathChars) {
        TracerWrite(context, true, "CBD_GetTempDir: Pfad <%s> ist länger als %d Zeichen!"_nt,
                    path.c_str(), static_cast<int>(kMaxPathChars));
        path.clear();
    }
    if (!PathExists(path)) {
        path.clear();
    }
    TracerWrite(context, false, "CBD_GetTempDir: Temporärer Pfad = \"%s\""_nt, path.c_str());
    return path;
}

std::string GetTempDirLow(ConfigDbContext& context) {
    std::string path = GetTempDir(context);
    const std::string low = std::string(1, kPathSeparator) + "Low";
    if (path.find(low) == std::string::npos) {
        path += std::string("Low") + kPathSeparator;
    }
    return path;
}

std::string GetModuleDir(ConfigDbContext& context, bool thisModule) {
    context.EnsureInitialized();
    const std::string fileName = ModuleFileName(context, thisModule);
    const size_t last = fileName.find_last_of(kSeparators);
    std::string directory =
        last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
    if (directory.rfind("\\??\\", 0) == 0) {
        directory.erase(0, 4);
    }
    return directory;
}

std::string GetThisDllDir(ConfigDbContext& context) {
    std::string directory = GetModuleDir(context, true);
    TracerWrite(context, false, "CDB_GetThisDllDir: Ermittelter Pfad <%s>.", directory.c_str());
    return directory;
}

std::u16string GetThisDllPath(ConfigDbContext& context) {
    std::u16string path = context.Environment().ThisModulePathWide();
    return path.size() > kMaxPathChars ? std::u16string() : path;
}

bool IsFullPath(const std::u16string& path) {
#ifdef _WIN32
    const bool drive = (path.size() >= 2 && path[1] == u':') || path.rfind(u"\\\\", 0) == 0;
    const size_t directoryStart = path.size() >= 2 && path[1] == u':' ? 2 : 0;
#else
    const bool drive = !path.empty() && path[0] == u'/';
    const size_t directoryStart = 0;
#endif
    for (size_t i = directoryStart; i < path.size(); ++i) {
        if (IsSeparator(path[i])) {
            return drive;
        }
    }
    return false;
}

std::u16string ConvertToUnicode(ConfigDbContext& context, const std::string& text) {
    std::u16string wide = zeph::platform::NarrowToWide(text);
    if (wide.empty() && !text.empty()) {
        TracerWrite(context, true, "_ConvertToUnicode: Fehler beim Konvertieren des Strings <%s>!",
                    text.c_str());
    }
    return wide;
}

std::string ConvertToMultiByte(ConfigDbContext& context, const std::u16string& text) {
    std::string narrow = zeph::platform::WideToNarrow(text);
    if (narrow.empty() && !text.empty()) {
        TracerWrite(context, true, "_ConvertToUnicode: Fehler beim Konvertieren des Strings <%s>!",
                    std::string(text.begin(), text.end()).c_str());
    }
    return narrow;
}

}  // namespace configdb
