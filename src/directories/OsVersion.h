// The OS version code of the running Windows (0 on Linux), its display text, and the version of
// a file.
#pragma once

#include <cstdint>
#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

// CDB_GetOsVersion: computed until a non-zero code is found, then cached.
int32_t GetOsVersion(ConfigDbContext& context);
// The code of a reading (0 when no row of the table matches).
int32_t ClassifyOsVersion(const OsVersionReading& reading);
const char* GetOsVersionText(int32_t code);

// CDB_GetFileVersion: "major.minor.build.revision", or "0.0.0.0".
std::u16string GetFileVersion(ConfigDbContext& context, const std::u16string& path);
// Major and minor from the product version, build and revision from the file version.
bool GetFileVersionFromFile(ConfigDbContext& context, const std::u16string& path, uint32_t* major,
                            uint32_t* minor, uint32_t* build, uint32_t* revision);

}  // namespace configdb
