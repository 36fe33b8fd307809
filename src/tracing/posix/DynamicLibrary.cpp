#include "tracing/DynamicLibrary.h"

#include <dlfcn.h>

namespace zeph::trace {

void* LoadDynamicLibrary(const std::string& path) noexcept {
    try {
        // dlopen searches the library path for a bare name, never the current directory; the
        // caller found the file in the current directory, so that is where it is loaded from.
        const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
        return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    } catch (...) {
        return nullptr;
    }
}

void* FindExport(void* library, const char* name) noexcept {
    return library != nullptr ? dlsym(library, name) : nullptr;
}

}  // namespace zeph::trace
