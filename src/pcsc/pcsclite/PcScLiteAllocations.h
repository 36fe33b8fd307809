// The UTF-16 text the pcsc-lite backend hands out as "allocated by the platform" (reader lists,
// reader names). pcsc-lite allocates UTF-8 text under a context; the backend copies it into its
// own allocation at once, so freeing needs no live context.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace zeph::platform::pcsclite {

class PcScLiteAllocations {
  public:
    // A zero-terminated copy of `units` (which carries its own terminators).
    const char16_t* Allocate(std::u16string_view units);
    // False when `memory` is not a live allocation of this object.
    bool Free(const void* memory);

  private:
    std::mutex m_mutex;
    std::unordered_map<const void*, std::unique_ptr<char16_t[]>> m_live;
};

}  // namespace zeph::platform::pcsclite
