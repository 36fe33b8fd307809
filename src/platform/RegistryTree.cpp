#include "platform/RegistryTree.h"

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

std::vector<RegistryTreeNode>::const_iterator RegistryTreeNode::LowerBound(
    std::u16string_view name) const {
    return std::lower_bound(m_children.begin(), m_children.end(), name,
                            [](const RegistryTreeNode& node, std::u16string_view n) {
                                return RegistryNameLess{}(node.Name(), n);
                            });
}

const RegistryTreeNode* RegistryTreeNode::FindChild(std::u16string_view name) const {
    const auto found = LowerBound(name);
    return (found != m_children.end() && RegistryNamesEqual(found->Name(), name)) ? &*found
                                                                                  : nullptr;
}

RegistryTreeNode* RegistryTreeNode::FindChild(std::u16string_view name) {
    const auto found = LowerBound(name);
    if (found == m_children.end() || !RegistryNamesEqual(found->Name(), name)) {
        return nullptr;
    }
    return &m_children[static_cast<size_t>(found - m_children.cbegin())];
}

RegistryTreeNode& RegistryTreeNode::Child(std::u16string_view name) {
    const auto found = LowerBound(name);
    const auto position = m_children.begin() + (found - m_children.cbegin());
    if (found != m_children.end() && RegistryNamesEqual(found->Name(), name)) {
        return *position;
    }
    return *m_children.insert(position, RegistryTreeNode(std::u16string(name)));
}

bool RegistryTreeNode::RemoveChild(std::u16string_view name) {
    const auto found = LowerBound(name);
    if (found == m_children.end() || !RegistryNamesEqual(found->Name(), name)) {
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
