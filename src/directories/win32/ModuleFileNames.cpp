#include "directories/win32/ModuleFileNames.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

// Windows limits a module's file name to 32767 characters.
constexpr DWORD kLongestModuleName = 32768;

// This module's handle, found from an address inside it, without taking a reference on it.
HMODULE ThisModuleHandle() {
    HMODULE module = nullptr;
    const DWORD flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&ThisModuleHandle), &module) == 0) {
        return nullptr;
    }
    return module;
}

// GetModuleFileName cuts a name that does not fit and fills the buffer: then the buffer grows.
template <typename Char, typename Query>
std::basic_string<Char> GrowingModuleFileName(Query query) {
    for (DWORD size = MAX_PATH + 1; size <= kLongestModuleName; size *= 2) {
        std::basic_string<Char> name(size, Char{});
        const DWORD length = query(name.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            name.resize(length);
            return name;
        }
    }
    return {};
}

}  // namespace

std::string ModuleFileNameNarrow(bool thisModule) {
    HMODULE module = nullptr;
    if (thisModule && (module = ThisModuleHandle()) == nullptr) {
        return {};
    }
    return GrowingModuleFileName<char>(
        [module](char* buffer, DWORD size) { return GetModuleFileNameA(module, buffer, size); });
}

std::u16string ThisModuleFileNameWide() {
    HMODULE module = ThisModuleHandle();
    if (module == nullptr) {
        return {};
    }
    return GrowingModuleFileName<char16_t>([module](char16_t* buffer, DWORD size) {
        return GetModuleFileNameW(module, zeph::platform::AsWChar(buffer), size);
    });
}

// Asks the needed size first (it counts the terminator), so that no path is cut.
std::string SystemTempPath() {
    const DWORD needed = GetTempPathA(0, nullptr);
    if (needed == 0) {
        return {};
    }
    std::string path(needed, '\0');
    const DWORD length = GetTempPathA(needed, path.data());
    if (length == 0 || length >= needed) {
        return {};
    }
    path.resize(length);
    return path;
}
