#include "Win32RegistryFixture.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

using zeph::platform::AsWChar;

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Bit64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

void DeleteTree(const std::u16string& path, RegistryView view) {
    const size_t split = path.rfind(u'\\');
    const std::u16string parent = split == std::u16string::npos ? u"" : path.substr(0, split);
    const std::u16string name = split == std::u16string::npos ? path : path.substr(split + 1);
    HKEY parentKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWChar(parent.c_str()), 0,
                      KEY_ALL_ACCESS | ViewFlag(view), &parentKey) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteTreeW(parentKey, AsWChar(name.c_str()));
    RegCloseKey(parentKey);
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

ScopedRegistryKey::~ScopedRegistryKey() {
    if (!m_firstCreated.empty()) {
        DeleteTree(m_firstCreated, m_view);
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
