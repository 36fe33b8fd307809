// The Windows version as the kernel reports it, unaffected by the compatibility shims that
// GetVersionEx applies.
#pragma once

#include "directories/DirectoryEnvironment.h"

OsVersionReading ReadKernelOsVersion();
