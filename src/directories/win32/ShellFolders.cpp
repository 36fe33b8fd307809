#include "directories/win32/ShellFolders.h"

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/TextConversion.h"

namespace {

REFKNOWNFOLDERID FolderId(KnownFolder folder) {
    switch (folder) {
        case KnownFolder::LocalAppDataLow:
            return FOLDERID_LocalAppDataLow;
        case KnownFolder::LocalAppData:
            return FOLDERID_LocalAppData;
        case KnownFolder::RoamingAppData:
            return FOLDERID_RoamingAppData;
        case KnownFolder::ProgramData:
            return FOLDERID_ProgramData;
        case KnownFolder::ProgramFilesX86:
            break;
    }
    return FOLDERID_ProgramFilesX86;
}

constexpr DWORD kDefaultFolderType = 1;  // SHGFP_TYPE_DEFAULT

}  // namespace

int32_t ShellKnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) {
    PWSTR wide = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FolderId(folder), flags, nullptr, &wide);
    if (SUCCEEDED(result) && wide != nullptr) {
        path = zeph::platform::WideToNarrow(zeph::platform::AsChar16(wide));
    }
    // The shell allocates the text even for some failures; freeing null is harmless.
    CoTaskMemFree(wide);
    return result;
}

int32_t ShellFolderPathByCsidl(int32_t csidl, std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    const HRESULT result = SHGetFolderPathA(nullptr, csidl, nullptr, kDefaultFolderType, buffer);
    if (SUCCEEDED(result)) {
        path = buffer;
    }
    return result;
}
