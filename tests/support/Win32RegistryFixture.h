// A key written into the Windows registry (Wine's, in the tests) for one test: created below
// HKEY_LOCAL_MACHINE with its missing parents, and removed with everything it created when the
// object goes out of scope. Keys that existed before are left as they were, apart from the
// values a test sets in them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "MemoryRegistry.h"
#include "registry/Registry.h"

class ScopedRegistryKey {
  public:
    ScopedRegistryKey(std::u16string path, RegistryView view);
    ~ScopedRegistryKey();
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

    // The Windows error code of the creation.
    uint32_t CreateResult() const { return m_createResult; }

    uint32_t SetValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data);
    uint32_t SetBinary(std::u16string_view name, const std::vector<uint8_t>& data) {
        return SetValue(name, kRegBinary, data);
    }
    uint32_t SetString(std::u16string_view name, std::u16string_view text) {
        return SetValue(name, kRegSz, RegistryStringBytes(text));
    }

  private:
    std::u16string m_path;
    RegistryView m_view;
    std::u16string m_firstCreated;  // the uppermost key this object created, empty if none
    uint32_t m_createResult = 0;
};

// Removes the subkeys of the key (below HKEY_LOCAL_MACHINE, in the view) whose names start with
// the prefix, with everything below them: the fixtures a killed run left behind.
void DeleteSubKeysStartingWith(const std::u16string& parent, std::u16string_view prefix,
                               RegistryView view);

// A system-wide turn for fixtures of a key that several test programs use (such as the smart
// card database's entry of a card type): held from construction to destruction.
class RegistryFixtureTurn {
  public:
    explicit RegistryFixtureTurn(const char16_t* name);
    ~RegistryFixtureTurn();
    RegistryFixtureTurn(const RegistryFixtureTurn&) = delete;
    RegistryFixtureTurn& operator=(const RegistryFixtureTurn&) = delete;

  private:
    void* m_mutex;
};
