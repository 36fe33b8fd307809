#include "registry/Win32Registry.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

using zeph::platform::AsWChar;

// Key names have at most 255 characters.
constexpr DWORD kKeyNameCapacity = 256;

static_assert(KEY_QUERY_VALUE == kKeyQueryValue && KEY_ENUMERATE_SUB_KEYS == kKeyEnumerateSubKeys);

uint32_t Result(LONG result) {
    return static_cast<uint32_t>(result);
}

class Win32RegistryKey final : public RegistryKeyBackend {
  public:
    explicit Win32RegistryKey(HKEY key) : m_key(key) {}
    ~Win32RegistryKey() override { RegCloseKey(m_key); }
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    uint32_t QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                        uint32_t* size) const override;
    uint32_t QuerySubKeyCount(uint32_t& count) const override;
    uint32_t EnumSubKey(uint32_t index, std::u16string& name) const override;

  private:
    HKEY m_key;
};

uint32_t Win32RegistryKey::QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                                      uint32_t* size) const {
    const std::u16string terminated(name);
    DWORD valueType = 0;
    DWORD valueSize = size != nullptr ? *size : 0;
    const LONG result = RegQueryValueExW(m_key, AsWChar(terminated.c_str()), nullptr, &valueType,
                                         data, size != nullptr ? &valueSize : nullptr);
    if (type != nullptr && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) {
        *type = valueType;
    }
    if (size != nullptr && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) {
        *size = valueSize;
    }
    return Result(result);
}

uint32_t Win32RegistryKey::QuerySubKeyCount(uint32_t& count) const {
    DWORD subKeys = 0;
    const LONG result = RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) {
        count = subKeys;
    }
    return Result(result);
}

uint32_t Win32RegistryKey::EnumSubKey(uint32_t index, std::u16string& name) const {
    char16_t buffer[kKeyNameCapacity] = {};
    DWORD length = kKeyNameCapacity;
    const LONG result =
        RegEnumKeyExW(m_key, index, AsWChar(buffer), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) {
        name.assign(buffer, length);
    }
    return Result(result);
}

}  // namespace

uint32_t Win32Registry::OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                                std::unique_ptr<RegistryKeyBackend>& key) {
    const std::u16string terminated(subKey);
    const REGSAM rights =
        access | (view == RegistryView::Bit64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    HKEY opened = nullptr;
    const LONG result =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWChar(terminated.c_str()), 0, rights, &opened);
    if (result == ERROR_SUCCESS) {
        key = std::make_unique<Win32RegistryKey>(opened);
    }
    return Result(result);
}

// The object lives until the process ends, like the system's registry it stands for.
RegistryApi& PlatformRegistry() {
    static auto* const registry = new Win32Registry();
    return *registry;
}
