// The UTF-16 forms of the log directory query: as a string, and into a buffer of the caller's.
#include <algorithm>

#include "directories/DiagnosticWriter.h"
#include "directories/DirectoryQueries.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/PathPrimitives.h"
#include "platform/TextConversion.h"

namespace configdb {

namespace {

// An argument as the null-argument message shows it; the caller's buffer is read only within the
// length the caller gave, since its content need not be terminated.
std::string ArgumentText(const char16_t* text, size_t maxChars) {
    if (text == nullptr) {
        return "NULL";
    }
    size_t length = 0;
    while (length < maxChars && text[length] != u'\0') {
        ++length;
    }
    return zeph::platform::WideToNarrow(std::u16string_view(text, length));
}

}  // namespace

std::u16string GetLogDir(ConfigDbContext& context, const std::u16string& compId, bool create) {
    context.EnsureInitialized();
    const std::string directory = GetLogDir(context, ConvertToMultiByte(context, compId), create);
    return ConvertToUnicode(context, directory);
}

int32_t GetLogDir(ConfigDbContext& context, const char16_t* pszCompID, char16_t* pszDir,
                  uint32_t length, bool create) {
    context.EnsureInitialized();
    if (pszDir == nullptr || pszCompID == nullptr) {
        TracerWrite(context, true,
                    "CDB_GetLogDir: Mindestens ein Parameter ist NULL: pszDir <%s>, pszCompID "
                    "<%s>!",
                    ArgumentText(pszDir, length).c_str(),
                    ArgumentText(pszCompID, std::u16string::npos).c_str());
        return kLogDirNullArgument;
    }
    if (length > 0) {
        pszDir[0] = u'\0';
    }
    const std::u16string directory = GetLogDir(context, std::u16string(pszCompID), create);
    if (!PathExists(directory)) {
        if (!directory.empty()) {
            TracerWrite(context, true, "CDB_GetLogDir: Das Log-Verzeichnis <%s> existiert nicht",
                        zeph::platform::WideToNarrow(directory).c_str());
        } else {
            TracerWrite(context, true,
                        "CDB_GetLogDir: Das Log-Verzeichnis konnte nicht ermittelt werden");
        }
        return kLogDirNotFound;
    }
    if (length <= directory.size()) {
        TracerWrite(context, true,
                    "CDB_GetLogDir: Länge <%d> von pszDir ist zu klein, benötigte Länge <%d> "_nt,
                    static_cast<int>(length), static_cast<int>(directory.size()));
        return kLogDirBufferTooSmall;
    }
    std::copy(directory.begin(), directory.end(), pszDir);
    pszDir[directory.size()] = u'\0';
    return kLogDirCopied;
}

}  // namespace configdb
