#include "MemoryRegistry.h"

#include <stdexcept>

#include "registry/RegistryTreeKey.h"

std::vector<uint8_t> RegistryStringBytes(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// A change goes to a copy of the tree, so that opened keys keep theirs.
void MemoryRegistry::SetValue(std::u16string_view path, std::u16string_view name,
                              RegistryValue value) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    auto copy = std::make_shared<RegistryTree>(*m_tree);
    RegistryTreeNode* key =
        copy->CreateKey(std::u16string(kLocalMachineHive) + u'\\' + std::u16string(path));
    if (key == nullptr) {
        throw std::invalid_argument("MemoryRegistry: not a valid key path");
    }
    key->SetValue(name, std::move(value));
    m_tree = std::move(copy);
}

uint32_t MemoryRegistry::OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                                 std::unique_ptr<RegistryKeyBackend>& key) {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::shared_ptr<const RegistryTree> tree = m_tree;
    lock.unlock();
    return OpenRegistryTreeKey(std::move(tree), subKey, view, access, key);
}
