#include "Win32RegistryFixture.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

using zeph::platform::AsWChar;

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Bit64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

}  // namespace

// Created one level at a time, which tells the uppermost key that did not exist before; the key
// itself stays open for its values.
ScopedRegistryKey::ScopedRegistryKey(std::u16string path, RegistryView view) : m_view(view) {
    for (size_t end = path.find(u'\\');; end = path.find(u'\\', end + 1)) {
        const std::u16string prefix = path.substr(0, end);
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWChar(prefix.c_str()), 0, nullptr, 0,
                            KEY_SET_VALUE | ViewFlag(view), nullptr, &key,
                            &disposition) == ERROR_SUCCESS &&
            disposition == REG_CREATED_NEW_KEY && m_firstCreated.empty()) {
            m_firstCreated = prefix;
        }
        if (end == std::u16string::npos) {
            m_key = key;
            return;
        }
        RegCloseKey(key);
    }
}

// Removes the uppermost key it created with everything below it (no key is created directly
// below the hive).
ScopedRegistryKey::~ScopedRegistryKey() {
    RegCloseKey(static_cast<HKEY>(m_key));
    const size_t split = m_firstCreated.rfind(u'\\');
    HKEY parent = nullptr;
    if (split != std::u16string::npos &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWChar(m_firstCreated.substr(0, split).c_str()), 0,
                      KEY_ALL_ACCESS | ViewFlag(m_view), &parent) == ERROR_SUCCESS) {
        RegDeleteTreeW(parent, AsWChar(m_firstCreated.c_str() + split + 1));
        RegCloseKey(parent);
    }
}

uint32_t ScopedRegistryKey::SetValue(std::u16string_view name, uint32_t type,
                                     const std::vector<uint8_t>& data) {
    const std::u16string terminated(name);
    return static_cast<uint32_t>(RegSetValueExW(static_cast<HKEY>(m_key),
                                                AsWChar(terminated.c_str()), 0, type, data.data(),
                                                static_cast<DWORD>(data.size())));
}

RegistryFixtureTurn::RegistryFixtureTurn(const char16_t* name)
    : m_mutex(CreateMutexW(nullptr, FALSE, AsWChar(name))) {
    WaitForSingleObject(m_mutex, INFINITE);
}

RegistryFixtureTurn::~RegistryFixtureTurn() {
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}
