// A key written into the Windows registry (Wine's, in the tests) for one test: created below
// HKEY_LOCAL_MACHINE with its missing parents, and removed with everything it created when the
// object goes out of scope. Keys that existed before are left as they were, apart from the
// values a test sets in them.
#pragma once

#include <string>
#include <vector>

#include "registry/Registry.h"

class ScopedRegistryKey {
  public:
    ScopedRegistryKey(std::u16string path, RegistryView view);
    ~ScopedRegistryKey();
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

    uint32_t SetValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data);

  private:
    void* m_key = nullptr;  // the key itself, open for setting values
    RegistryView m_view;
    std::u16string m_firstCreated;  // the uppermost key this object created, empty if none
};

// A system-wide turn for fixtures that several test programs use (such as the crash options and
// the log directory the crashes prune): held from construction to destruction.
class RegistryFixtureTurn {
  public:
    explicit RegistryFixtureTurn(const char16_t* name);
    ~RegistryFixtureTurn();
    RegistryFixtureTurn(const RegistryFixtureTurn&) = delete;
    RegistryFixtureTurn& operator=(const RegistryFixtureTurn&) = delete;

  private:
    void* m_mutex;
};
