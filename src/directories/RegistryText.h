// Reading the maker's registry values as narrow text: HKEY_LOCAL_MACHINE, 32-bit view, KEY_READ.
#pragma once

#include <cstdint>
#include <string>

#include "registry/Registry.h"

namespace configdb {

// The most a value may hold, in bytes of narrow text with its terminator.
inline constexpr size_t kRegistryValueBytes = 260;

// Opens the key in the 32-bit view for reading; the registry's error code.
uint32_t OpenMakerKey(RegistryApi& registry, const std::string& keyPath, RegistryKey& key);

// Reads the value (empty name: the default value) as text whatever its type: the registry's
// error code, ERROR_MORE_DATA (234) for a text that does not fit kRegistryValueBytes.
uint32_t ReadStringValue(const RegistryKey& key, const std::string& name, std::string& text);

// The value, or an empty text when the key or value cannot be read.
std::string ReadRegistryString(RegistryApi& registry, const std::string& keyPath,
                               const std::string& name);

}  // namespace configdb
