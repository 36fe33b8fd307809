#include "registry/RegistryTree.h"

#include <algorithm>

namespace {

char16_t UpperAscii(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

}  // namespace

bool RegistryNamesEqual(std::u16string_view left, std::u16string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char16_t l, char16_t r) { return UpperAscii(l) == UpperAscii(r); });
}

bool RegistryNameLess::operator()(std::u16string_view left, std::u16string_view right) const {
    return std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(),
        [](char16_t l, char16_t r) { return UpperAscii(l) < UpperAscii(r); });
}

std::optional<std::vector<std::u16string_view>> SplitRegistryPath(std::u16string_view path) {
    if (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    std::vector<std::u16string_view> names;
    while (true) {
        const size_t end = path.find(u'\\');
        const std::u16string_view name = path.substr(0, end);
        if (name.empty() || name.size() > kMaxRegistryKeyNameChars ||
            names.size() > kMaxRegistryKeyDepth) {
            return std::nullopt;
        }
        names.push_back(name);
        if (end == std::u16string_view::npos) {
            return names;
        }
        path.remove_prefix(end + 1);
    }
}

RegistryTreeNode::RegistryTreeNode(const RegistryTreeNode& other) : m_values(other.m_values) {
    for (const auto& [name, child] : other.m_children) {
        m_children.emplace_hint(m_children.end(), name, std::make_unique<RegistryTreeNode>(*child));
    }
}

RegistryTreeNode& RegistryTreeNode::operator=(const RegistryTreeNode& other) {
    if (this != &other) {
        *this = RegistryTreeNode(other);
    }
    return *this;
}

const RegistryTreeNode* RegistryTreeNode::FindChild(std::u16string_view name) const {
    const auto found = m_children.find(name);
    return found != m_children.end() ? found->second.get() : nullptr;
}

RegistryTreeNode* RegistryTreeNode::FindChild(std::u16string_view name) {
    const auto found = m_children.find(name);
    return found != m_children.end() ? found->second.get() : nullptr;
}

RegistryTreeNode& RegistryTreeNode::Child(std::u16string_view name) {
    auto found = m_children.lower_bound(name);
    if (found == m_children.end() || RegistryNameLess{}(name, found->first)) {
        found = m_children.emplace_hint(found, std::u16string(name),
                                        std::make_unique<RegistryTreeNode>());
    }
    return *found->second;
}

bool RegistryTreeNode::RemoveChild(std::u16string_view name) {
    const auto found = m_children.find(name);
    if (found == m_children.end()) {
        return false;
    }
    m_children.erase(found);
    return true;
}

const RegistryValue* RegistryTreeNode::FindValue(std::u16string_view name) const {
    const auto found = m_values.find(name);
    return found != m_values.end() ? &found->second : nullptr;
}

void RegistryTreeNode::SetValue(std::u16string_view name, RegistryValue value) {
    const auto found = m_values.find(name);
    if (found != m_values.end()) {
        found->second = std::move(value);
        return;
    }
    m_values.emplace(std::u16string(name), std::move(value));
}

bool RegistryTreeNode::RemoveValue(std::u16string_view name) {
    const auto found = m_values.find(name);
    if (found == m_values.end()) {
        return false;
    }
    m_values.erase(found);
    return true;
}

const RegistryTreeNode* RegistryTree::FindKey(std::u16string_view path) const {
    const auto names = SplitRegistryPath(path);
    if (!names) {
        return nullptr;
    }
    const RegistryTreeNode* node = &m_root;
    for (const std::u16string_view name : *names) {
        node = node->FindChild(name);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

RegistryTreeNode* RegistryTree::CreateKey(std::u16string_view path) {
    const auto names = SplitRegistryPath(path);
    if (!names) {
        return nullptr;
    }
    RegistryTreeNode* node = &m_root;
    for (const std::u16string_view name : *names) {
        node = &node->Child(name);
    }
    return node;
}

bool RegistryTree::DeleteKey(std::u16string_view path) {
    const auto names = SplitRegistryPath(path);
    if (!names) {
        return false;
    }
    RegistryTreeNode* parent = &m_root;
    for (size_t i = 0; i + 1 < names->size(); ++i) {
        parent = parent->FindChild((*names)[i]);
        if (parent == nullptr) {
            return false;
        }
    }
    return parent->RemoveChild(names->back());
}
