#include "registry/RegistryTreeKey.h"

#include <algorithm>
#include <iterator>
#include <mutex>

namespace {

constexpr std::u16string_view kSoftware = u"SOFTWARE";
constexpr std::u16string_view kWow6432Node = u"WOW6432Node";

// The first key name of a path.
std::u16string_view FirstName(std::u16string_view path) {
    return path.substr(0, path.find(u'\\'));
}

class RegistryTreeKey final : public RegistryKeyBackend {
  public:
    RegistryTreeKey(std::shared_ptr<const RegistryTree> tree, const RegistryTreeNode& node,
                    uint32_t access)
        : m_tree(std::move(tree)), m_node(node), m_access(access) {}

    uint32_t QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                        uint32_t* size) const override;
    uint32_t QuerySubKeyCount(uint32_t& count) const override;
    uint32_t EnumSubKey(uint32_t index, std::u16string& name) const override;

  private:
    bool Allows(uint32_t right) const { return (m_access & right) != 0; }

    std::shared_ptr<const RegistryTree> m_tree;
    const RegistryTreeNode& m_node;
    uint32_t m_access;
    // Where the last enumeration stopped: enumerating index after index walks the subkeys once.
    mutable std::mutex m_cursorMutex;
    mutable uint32_t m_cursorIndex = 0;
    mutable RegistryTreeNode::ChildMap::const_iterator m_cursor = m_node.Children().begin();
};

uint32_t RegistryTreeKey::QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                                     uint32_t* size) const {
    if (!Allows(kKeyQueryValue)) {
        return kRegistryAccessDenied;
    }
    const RegistryValue* value = m_node.FindValue(name.substr(0, name.find(u'\0')));
    if (value == nullptr) {
        return kRegistryFileNotFound;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (size == nullptr) {
        return kRegistrySuccess;
    }
    const auto needed = static_cast<uint32_t>(value->data.size());
    const uint32_t capacity = *size;
    *size = needed;
    if (data == nullptr) {
        return kRegistrySuccess;
    }
    if (capacity < needed) {
        return kRegistryMoreData;
    }
    std::copy(value->data.begin(), value->data.end(), data);
    return kRegistrySuccess;
}

uint32_t RegistryTreeKey::QuerySubKeyCount(uint32_t& count) const {
    if (!Allows(kKeyQueryValue)) {
        return kRegistryAccessDenied;
    }
    count = static_cast<uint32_t>(m_node.Children().size());
    return kRegistrySuccess;
}

uint32_t RegistryTreeKey::EnumSubKey(uint32_t index, std::u16string& name) const {
    if (!Allows(kKeyEnumerateSubKeys)) {
        return kRegistryAccessDenied;
    }
    if (index >= m_node.Children().size()) {
        return kRegistryNoMoreItems;
    }
    const std::lock_guard<std::mutex> guard(m_cursorMutex);
    if (index < m_cursorIndex) {
        m_cursorIndex = 0;
        m_cursor = m_node.Children().begin();
    }
    std::advance(m_cursor, index - m_cursorIndex);
    m_cursorIndex = index;
    name = m_cursor->first;
    return kRegistrySuccess;
}

}  // namespace

std::u16string LocalMachinePathInView(std::u16string_view subKey, RegistryView view) {
    std::u16string path(kLocalMachineHive);
    if (subKey.empty()) {
        return path;
    }
    path += u'\\';
    const std::u16string_view first = FirstName(subKey);
    if (view == RegistryView::Bit64 || !RegistryNamesEqual(first, kSoftware)) {
        return path += subKey;
    }
    std::u16string_view rest = subKey.substr(first.size());
    if (!rest.empty()) {
        rest.remove_prefix(1);
    }
    path += first;
    path += u'\\';
    if (!RegistryNamesEqual(FirstName(rest), kWow6432Node)) {
        path += kWow6432Node;
        if (!rest.empty()) {
            path += u'\\';
        }
    }
    return path += rest;
}

uint32_t OpenRegistryTreeKey(std::shared_ptr<const RegistryTree> tree, std::u16string_view subKey,
                             RegistryView view, uint32_t access,
                             std::unique_ptr<RegistryKeyBackend>& key) {
    // HKEY_LOCAL_MACHINE itself always exists, even in a tree without any of its keys.
    static const RegistryTreeNode emptyHive;
    const RegistryTreeNode* node = tree->FindKey(LocalMachinePathInView(subKey, view));
    if (node == nullptr && subKey.empty()) {
        node = &emptyHive;
    }
    if (node == nullptr) {
        return kRegistryFileNotFound;
    }
    key = std::make_unique<RegistryTreeKey>(std::move(tree), *node, access);
    return kRegistrySuccess;
}
