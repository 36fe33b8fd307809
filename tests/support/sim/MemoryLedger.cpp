#include "sim/MemoryLedger.h"

#include <algorithm>

namespace sim {

const char16_t* MemoryLedger::Allocate(const std::u16string& text) {
    auto block = std::make_unique<char16_t[]>(text.size());
    std::copy(text.begin(), text.end(), block.get());
    const char16_t* address = block.get();
    m_blocks.emplace(address, std::move(block));
    return address;
}

bool MemoryLedger::Free(const void* block) {
    return m_blocks.erase(block) == 1;
}

}  // namespace sim
