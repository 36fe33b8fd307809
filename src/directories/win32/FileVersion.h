// The fixed block of a file's version resource.
#pragma once

#include <string>

#include "directories/DirectoryEnvironment.h"

FileVersionReading ReadVersionResource(const std::u16string& path);
