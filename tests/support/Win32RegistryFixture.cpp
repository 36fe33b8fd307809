#include "Win32RegistryFixture.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

using zeph::platform::AsWChar;

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Bit64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

}  // namespace

// Created one level at a time, which tells the keys that did not exist before.
void Win32Backend::SetValue(std::u16string_view path, RegistryView view, std::u16string_view name,
                            const RegistryValue& value) {
    HKEY key = nullptr;
    for (size_t end = path.find(u'\\');; end = path.find(u'\\', end + 1)) {
        const std::u16string prefix(path.substr(0, end));
        DWORD disposition = 0;
        RegCloseKey(std::exchange(key, nullptr));  // the parent
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWChar(prefix.c_str()), 0, nullptr, 0,
                            KEY_SET_VALUE | ViewFlag(view), nullptr, &key,
                            &disposition) == ERROR_SUCCESS &&
            disposition == REG_CREATED_NEW_KEY) {
            m_created.emplace_back(prefix, view);
        }
        if (end == std::u16string::npos) {
            break;
        }
    }
    const std::u16string terminated(name);
    RegSetValueExW(key, AsWChar(terminated.c_str()), 0, value.type, value.data.data(),
                   static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

// No key is created directly below the hive.
Win32Backend::~Win32Backend() {
    for (const auto& [created, view] : m_created) {
        const size_t split = created.rfind(u'\\');
        HKEY parent = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWChar(created.substr(0, split).c_str()), 0,
                          KEY_ALL_ACCESS | ViewFlag(view), &parent) == ERROR_SUCCESS) {
            RegDeleteTreeW(parent, AsWChar(created.c_str() + split + 1));
            RegCloseKey(parent);
        }
    }
}

RegistryFixtureTurn::RegistryFixtureTurn(const char16_t* name)
    : m_mutex(CreateMutexW(nullptr, FALSE, AsWChar(name))) {
    WaitForSingleObject(m_mutex, INFINITE);
}

RegistryFixtureTurn::~RegistryFixtureTurn() {
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}
