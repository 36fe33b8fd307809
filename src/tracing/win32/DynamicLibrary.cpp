#include "tracing/DynamicLibrary.h"

#include <windows.h>

namespace zeph::trace {

void* LoadDynamicLibrary(const std::string& path) noexcept {
    return LoadLibraryA(path.c_str());
}

void* FindExport(void* library, const char* name) noexcept {
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace zeph::trace
