// The machine's crash options, read at the moment of a crash and only inside the host process:
// REG_DWORD values under HKEY_LOCAL_MACHINE\Software\TALPO Mora compact\Options that count as set
// when their low 16 bits are not zero.
#pragma once

#include <string>

#include "registry/Registry.h"

namespace ExceptionTranslator {

inline constexpr int kShowCrashMessage = 0;   // "ShowCrashMessage"
inline constexpr int kShouldRestartHost = 1;  // "ShouldRestartMoraHost"

// The option of the running process, from the platform's registry.
bool ReadCrashSetting(int which);

// The same for a given executable path and registry.
bool ReadCrashSetting(int which, const std::string& executablePath, RegistryApi& registry);

}  // namespace ExceptionTranslator
