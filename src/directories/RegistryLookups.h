// The maker's registry entries for a component's directories (HKEY_LOCAL_MACHINE, 32-bit view).
// Each lookup answers a narrow path, empty when a key or value is missing; for the own component
// only the program directory is looked up.
#pragma once

#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

// The subkey of a Versions key with the greatest version number, read as a decimal number
// ("\2.9" beats "\2.10"); "\1.0" when none is greater than 1.0.
std::string GetNewestVersionKey(RegistryApi& registry, const std::string& versionsKey);

std::string GetKonfigDirFromRegistry(ConfigDbContext& context, const std::string& compId);
std::string GetLogDirFromRegistry(ConfigDbContext& context, const std::string& compId);
std::string GetDataDirFromRegistry(ConfigDbContext& context, const std::string& compId,
                                   const std::string& dataDirName);
std::string GetProgDirFromRegistry(ConfigDbContext& context, const std::string& compId);
std::string GetSystemDirFromRegistry(ConfigDbContext& context);

}  // namespace configdb
