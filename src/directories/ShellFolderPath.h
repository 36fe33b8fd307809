// The shell folders of ConfigDBDirType, through the old CSIDL interface on the Windows XP and
// 2003 family and the known-folder interface everywhere else (Linux included).
#pragma once

#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

// The folder with its separator, or empty when the system has none or the type is unknown.
std::string GetSpecialFolderPath(ConfigDbContext& context, ConfigDBDirType type);

}  // namespace configdb
