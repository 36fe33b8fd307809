// Keys of a registry held in memory (RegistryTree), with the answers of the Windows registry:
// the backend of the registry file and of the in-memory registry. An opened key keeps the tree
// it was opened in, so later changes of the registry do not reach it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "registry/Registry.h"
#include "registry/RegistryTree.h"

inline constexpr char16_t kLocalMachineHive[] = u"HKEY_LOCAL_MACHINE";

// The path of HKEY_LOCAL_MACHINE\<subKey> in the tree for the view: the 32-bit view shows
// SOFTWARE\WOW6432Node as SOFTWARE (a path that already names WOW6432Node stays as it is).
std::u16string LocalMachinePathInView(std::u16string_view subKey, RegistryView view);

// RegistryApi::OpenKey over a tree (never null).
uint32_t OpenRegistryTreeKey(std::shared_ptr<const RegistryTree> tree, std::u16string_view subKey,
                             RegistryView view, uint32_t access,
                             std::unique_ptr<RegistryKeyBackend>& key);
