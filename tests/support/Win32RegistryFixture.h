// Fixtures in the Windows registry (Wine's, in the tests): the backend that writes values below
// HKEY_LOCAL_MACHINE for the registry tests and the crash options, and a turn for fixtures that
// several test programs share.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "registry/Registry.h"
#include "registry/Win32Registry.h"

// Creates the keys of the values it sets with their missing parents, and removes, when it ends,
// every key it created with everything below it, in any order: a key already gone with the tree of
// another is left as it is. Keys that existed before stay, apart from the values set in them.
class Win32Backend {
  public:
    Win32Backend() = default;
    ~Win32Backend();
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    void SetValue(std::u16string_view path, RegistryView view, std::u16string_view name,
                  const RegistryValue& value);
    RegistryApi& Registry() { return m_registry; }

  private:
    Win32Registry m_registry;
    std::vector<std::pair<std::u16string, RegistryView>> m_created;
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
