#include "sim/MemoryLedger.h"

#include <algorithm>

namespace sim {

const char16_t* MemoryLedger::Allocate(ScardContext context, const std::u16string& text) {
    auto block = std::make_unique<char16_t[]>(text.size());
    std::copy(text.begin(), text.end(), block.get());
    const char16_t* address = block.get();
    m_blocks.emplace(address, Block{context, std::move(block)});
    return address;
}

bool MemoryLedger::Free(const void* block) {
    if (m_blocks.erase(block) == 1) {
        return true;
    }
    ++m_invalidFrees;
    return false;
}

void MemoryLedger::ReleaseContext(ScardContext context) {
    std::erase_if(m_blocks, [context](const auto& entry) {
        return context != 0 && entry.second.context == context;
    });
}

}  // namespace sim
