// Text the simulator hands out as platform-allocated memory (reader lists, reader names, provider
// names). A block stays on the ledger until FreeMemory returns it or, as WinSCard does with memory
// it allocated under a context, until that context is released: a caller that still reads such a
// block afterwards reads freed memory, which AddressSanitizer reports.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "pcsc/PcScHandles.h"

namespace sim {

class MemoryLedger {
  public:
    // A copy of `text` (its terminators included) that stays valid until Free or the release of
    // `context` (0: no context, freed only by Free).
    const char16_t* Allocate(ScardContext context, const std::u16string& text);
    // False for a pointer the ledger does not hold (never handed out, or freed already); such a
    // free is counted, since on the platform it would free memory twice.
    bool Free(const void* block);
    // Frees every block allocated under the context.
    void ReleaseContext(ScardContext context);
    size_t Outstanding() const { return m_blocks.size(); }
    size_t InvalidFrees() const { return m_invalidFrees; }

  private:
    struct Block {
        ScardContext context;
        std::unique_ptr<char16_t[]> text;
    };
    std::map<const void*, Block> m_blocks;
    size_t m_invalidFrees = 0;
};

}  // namespace sim
