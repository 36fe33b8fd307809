// Registry keys and values held in memory: what the registry file is read into and what the
// in-memory registry of the tests holds. Paths start with the hive ("HKEY_LOCAL_MACHINE") and
// separate key names with backslashes; names compare without regard to ASCII case and keep the
// spelling they were first created with.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/Registry.h"

// Windows limits: a key name has at most 255 characters, a path at most 512 levels below its
// hive.
inline constexpr size_t kMaxRegistryKeyNameChars = 255;
inline constexpr size_t kMaxRegistryKeyDepth = 512;

bool RegistryNamesEqual(std::u16string_view left, std::u16string_view right);

// Orders names as if their ASCII letters were upper case.
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::u16string_view left, std::u16string_view right) const;
};

// The key names of a path, or nothing when a name is empty, too long or the path too deep. One
// trailing backslash is allowed.
std::optional<std::vector<std::u16string_view>> SplitRegistryPath(std::u16string_view path);

// A key: its subkeys and values. Subkeys live in an ordered map, so that adding, finding and
// removing one costs log n however the keys arrive (a file lists them in any order).
class RegistryTreeNode {
  public:
    // Subkeys by name in RegistryNameLess order; a name keeps the spelling it was created with.
    using ChildMap = std::map<std::u16string, std::unique_ptr<RegistryTreeNode>, RegistryNameLess>;

    RegistryTreeNode() = default;
    RegistryTreeNode(const RegistryTreeNode& other);
    RegistryTreeNode& operator=(const RegistryTreeNode& other);
    RegistryTreeNode(RegistryTreeNode&&) noexcept = default;
    RegistryTreeNode& operator=(RegistryTreeNode&&) noexcept = default;
    ~RegistryTreeNode() = default;

    const ChildMap& Children() const { return m_children; }
    const RegistryTreeNode* FindChild(std::u16string_view name) const;
    RegistryTreeNode* FindChild(std::u16string_view name);
    // The subkey of that name, created when missing.
    RegistryTreeNode& Child(std::u16string_view name);
    bool RemoveChild(std::u16string_view name);

    const RegistryValue* FindValue(std::u16string_view name) const;
    void SetValue(std::u16string_view name, RegistryValue value);
    bool RemoveValue(std::u16string_view name);

  private:
    ChildMap m_children;
    std::map<std::u16string, RegistryValue, RegistryNameLess> m_values;
};

class RegistryTree {
  public:
    // Null when the key does not exist or the path is not valid (SplitRegistryPath).
    const RegistryTreeNode* FindKey(std::u16string_view path) const;
    // The key with its missing parents created; null for a path that is not valid. The
    // reference stays valid until the key or one of its parents is deleted.
    RegistryTreeNode* CreateKey(std::u16string_view path);
    // Removes the key with everything below it; false when there was none.
    bool DeleteKey(std::u16string_view path);

    bool Empty() const { return m_root.Children().empty(); }

  private:
    RegistryTreeNode m_root;
};
