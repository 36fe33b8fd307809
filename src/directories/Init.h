// The directory library's one-time initialisation: its switches from the registry, its named
// mutexes, and the one-time path dump of the own component.
#pragma once

#include "directories/ConfigDbContext.h"

namespace configdb {

inline constexpr char kProductKey[] = "SOFTWARE\\TALPO Mora Compact";
inline constexpr char kInternTraceMutexName[] = "CDB_MUTEX_INTERN_TRACE";
inline constexpr char kUserNameMutexName[] = "CDB_MUTEX_GETUSERNAME";

// Runs through ConfigDbContext::EnsureInitialized, once per context.
void Init(ConfigDbContext& context);

}  // namespace configdb
