#include "MemoryRegistry.h"

#include <stdexcept>

#include "registry/RegistryTreeKey.h"

namespace {

RegistryTreeNode& CreatedKey(RegistryTree& tree, std::u16string_view path) {
    RegistryTreeNode* key =
        tree.CreateKey(std::u16string(kLocalMachineHive) + u'\\' + std::u16string(path));
    if (key == nullptr) {
        throw std::invalid_argument("MemoryRegistry: not a valid key path");
    }
    return *key;
}

}  // namespace

std::vector<uint8_t> RegistryStringBytes(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

MemoryRegistry::MemoryRegistry() : m_tree(std::make_shared<RegistryTree>()) {}

template <typename Change>
void MemoryRegistry::Modify(Change&& change) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    auto copy = std::make_shared<RegistryTree>(*m_tree);
    change(*copy);
    m_tree = std::move(copy);
}

void MemoryRegistry::CreateKey(std::u16string_view path) {
    Modify([&](RegistryTree& tree) { CreatedKey(tree, path); });
}

void MemoryRegistry::SetValue(std::u16string_view path, std::u16string_view name,
                              RegistryValue value) {
    Modify([&](RegistryTree& tree) { CreatedKey(tree, path).SetValue(name, std::move(value)); });
}

uint32_t MemoryRegistry::OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                                 std::unique_ptr<RegistryKeyBackend>& key) {
    std::shared_ptr<const RegistryTree> tree;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        tree = m_tree;
    }
    return OpenRegistryTreeKey(std::move(tree), subKey, view, access, key);
}
