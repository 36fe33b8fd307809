// Text the simulator hands out as platform-allocated memory (reader lists, reader names, provider
// names). Every block stays on the ledger until FreeMemory returns it, so that tests can assert
// that the caller freed everything it was given.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace sim {

class MemoryLedger {
  public:
    // A copy of `text` (its terminators included) that stays valid until Free.
    const char16_t* Allocate(const std::u16string& text);
    // False for a pointer the ledger does not hold (never handed out, or freed already).
    bool Free(const void* block);
    size_t Outstanding() const { return m_blocks.size(); }

  private:
    std::map<const void*, std::unique_ptr<char16_t[]>> m_blocks;
};

}  // namespace sim
