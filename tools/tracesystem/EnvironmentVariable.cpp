#include "EnvironmentVariable.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace zeph::tracesystem {

#ifdef _WIN32
std::optional<std::string> EnvironmentVariable(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}
#else
std::optional<std::string> EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}
#endif

}  // namespace zeph::tracesystem
