// Loading a library at run time and finding its exports: LoadLibrary/GetProcAddress on Windows,
// dlopen/dlsym on Linux. A loaded library is never unloaded.
#pragma once

#include <string>

namespace zeph::trace {

// The library at `path` (narrow text of the platform), or null when it cannot be loaded. A name
// without a directory part goes through the platform's library search, except that on Linux an
// existing file of that name in the current directory is loaded from there.
void* LoadDynamicLibrary(const std::string& path) noexcept;

// The address of the export `name`, or null.
void* FindExport(void* library, const char* name) noexcept;

}  // namespace zeph::trace
