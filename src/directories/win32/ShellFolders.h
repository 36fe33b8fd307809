// The shell's folders: the known-folder interface and the older CSIDL one.
#pragma once

#include <cstdint>
#include <string>

#include "directories/DirectoryEnvironment.h"

// SHGetKnownFolderPath without a token: the HRESULT, and on success the folder as narrow text.
int32_t ShellKnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path);

// SHGetFolderPathA without a window or token, for the default folder: the HRESULT and the folder.
int32_t ShellFolderPathByCsidl(int32_t csidl, std::string& path);
