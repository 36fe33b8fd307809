// The registry of Windows, read through RegOpenKeyExW in the view asked for (KEY_WOW64_64KEY or
// KEY_WOW64_32KEY). Name comparison and the 32-bit view are the system's own.
#pragma once

#include "registry/Registry.h"

class Win32Registry final : public RegistryApi {
  protected:
    uint32_t OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                     std::unique_ptr<RegistryKeyBackend>& key) override;
};
