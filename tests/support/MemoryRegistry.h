// An in-memory registry for unit tests, with the answers of the Windows registry (see
// platform/Registry.h). Paths are below HKEY_LOCAL_MACHINE as the 64-bit view shows them: a
// value for the 32-bit view is written under SOFTWARE\WOW6432Node. Keys opened before a change
// keep the content they were opened in. Thread-safe.
#pragma once

#include <memory>
#include <mutex>

#include "registry/Registry.h"
#include "registry/RegistryTree.h"

// REG_SZ bytes of a text: UTF-16LE with the terminator.
std::vector<uint8_t> RegistryStringBytes(std::u16string_view text);

class MemoryRegistry final : public RegistryApi {
  public:
    // Creates the key when needed.
    void SetValue(std::u16string_view path, std::u16string_view name, RegistryValue value);
    // REG_SZ with its terminator.
    void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text) {
        SetValue(path, name, {kRegSz, RegistryStringBytes(text)});
    }

  protected:
    uint32_t OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                     std::unique_ptr<RegistryKeyBackend>& key) override;

  private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const RegistryTree> m_tree = std::make_shared<RegistryTree>();
};
