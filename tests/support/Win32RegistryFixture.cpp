#include "Win32RegistryFixture.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

using zeph::platform::AsWChar;

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Bit64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

}  // namespace

// Created one level at a time, which tells the uppermost key that did not exist before.
ScopedRegistryKey::ScopedRegistryKey(std::u16string path, RegistryView view)
    : m_path(std::move(path)), m_view(view) {
    for (size_t end = m_path.find(u'\\');; end = m_path.find(u'\\', end + 1)) {
        const std::u16string prefix = m_path.substr(0, end);
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWChar(prefix.c_str()), 0, nullptr, 0,
                            KEY_SET_VALUE | ViewFlag(view), nullptr, &key,
                            &disposition) == ERROR_SUCCESS) {
            RegCloseKey(key);
            if (disposition == REG_CREATED_NEW_KEY && m_firstCreated.empty()) {
                m_firstCreated = prefix;
            }
        }
        if (end == std::u16string::npos) {
            return;
        }
    }
}

// Removes the uppermost key it created with everything below it (no key is created directly
// below the hive).
ScopedRegistryKey::~ScopedRegistryKey() {
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
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWChar(m_path.c_str()), 0,
                                KEY_SET_VALUE | ViewFlag(m_view), &key);
    if (result != ERROR_SUCCESS) {
        return static_cast<uint32_t>(result);
    }
    const std::u16string terminated(name);
    result = RegSetValueExW(key, AsWChar(terminated.c_str()), 0, type, data.data(),
                            static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return static_cast<uint32_t>(result);
}

RegistryFixtureTurn::RegistryFixtureTurn(const char16_t* name)
    : m_mutex(CreateMutexW(nullptr, FALSE, AsWChar(name))) {
    WaitForSingleObject(m_mutex, INFINITE);
}

RegistryFixtureTurn::~RegistryFixtureTurn() {
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}
