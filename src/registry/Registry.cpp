#include "registry/Registry.h"

namespace {

// A value that keeps growing between the size query and the read is given up after this many
// rounds.
constexpr int kReadAttempts = 4;

}  // namespace

uint32_t RegistryKey::QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                                 uint32_t* size) const {
    if (!IsOpen()) {
        return kRegistryInvalidHandle;
    }
    if (data != nullptr && size == nullptr) {
        return kRegistryInvalidParameter;
    }
    return m_backend->QueryValue(name, type, data, size);
}

uint32_t RegistryKey::ReadValue(std::u16string_view name, RegistryValue& value) const {
    uint32_t result = kRegistryMoreData;
    for (int attempt = 0; attempt < kReadAttempts && result == kRegistryMoreData; ++attempt) {
        uint32_t size = 0;
        result = QueryValue(name, nullptr, nullptr, &size);
        if (result != kRegistrySuccess) {
            return result;
        }
        std::vector<uint8_t> data(size == 0 ? 1 : size);
        result = QueryValue(name, &value.type, data.data(), &size);
        if (result == kRegistrySuccess) {
            data.resize(size);
            value.data = std::move(data);
        }
    }
    return result;
}

uint32_t RegistryKey::SubKeyCount(uint32_t& count) const {
    if (!IsOpen()) {
        return kRegistryInvalidHandle;
    }
    return m_backend->QuerySubKeyCount(count);
}

uint32_t RegistryKey::EnumSubKey(uint32_t index, std::u16string& name) const {
    if (!IsOpen()) {
        return kRegistryInvalidHandle;
    }
    return m_backend->EnumSubKey(index, name);
}

uint32_t RegistryApi::OpenLocalMachineKey(std::u16string_view subKey, RegistryView view,
                                          uint32_t access, RegistryKey& key) {
    key.Close();
    if ((access & ~kKeyRead) != 0) {
        return kRegistryInvalidParameter;
    }
    subKey = subKey.substr(0, subKey.find(u'\0'));
    if (!subKey.empty() && subKey.front() == u'\\') {
        return kRegistryBadPathname;
    }
    std::unique_ptr<RegistryKeyBackend> backend;
    const uint32_t result = OpenKey(subKey, view, access, backend);
    if (result == kRegistrySuccess && backend != nullptr) {
        key = RegistryKey(std::move(backend));
    }
    return result;
}
