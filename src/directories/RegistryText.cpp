#include "directories/RegistryText.h"

#include <cstring>

#include "platform/TextConversion.h"

namespace configdb {

namespace {

// The value's bytes as UTF-16 up to the first NUL.
std::u16string Utf16Text(const RegistryValue& value) {
    std::u16string text(value.data.size() / 2, u'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
}

}  // namespace

uint32_t OpenMakerKey(RegistryApi& registry, const std::string& keyPath, RegistryKey& key) {
    return registry.OpenLocalMachineKey(zeph::platform::NarrowToWide(keyPath), RegistryView::Bit32,
                                        kKeyRead, key);
}

uint32_t ReadStringValue(const RegistryKey& key, const std::string& name, std::string& text) {
    text.clear();
    RegistryValue value;
    const uint32_t result = key.ReadValue(zeph::platform::NarrowToWide(name), value);
    if (result != kRegistrySuccess) {
        return result;
    }
    std::string narrow = zeph::platform::WideToNarrow(Utf16Text(value));
    if (narrow.size() + 1 > kRegistryValueBytes) {
        return kRegistryMoreData;
    }
    text = std::move(narrow);
    return kRegistrySuccess;
}

std::string ReadRegistryString(RegistryApi& registry, const std::string& keyPath,
                               const std::string& name) {
    RegistryKey key;
    std::string text;
    if (OpenMakerKey(registry, keyPath, key) == kRegistrySuccess) {
        ReadStringValue(key, name, text);
    }
    return text;
}

}  // namespace configdb
