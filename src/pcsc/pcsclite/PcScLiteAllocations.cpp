#include "pcsc/pcsclite/PcScLiteAllocations.h"

#include <algorithm>

namespace zeph::platform::pcsclite {

const char16_t* PcScLiteAllocations::Allocate(std::u16string_view units) {
    auto copy = std::make_unique<char16_t[]>(units.size() + 1);
    std::copy(units.begin(), units.end(), copy.get());
    const char16_t* text = copy.get();
    std::lock_guard lock(m_mutex);
    m_live.emplace(text, std::move(copy));
    return text;
}

bool PcScLiteAllocations::Free(const void* memory) {
    std::unique_ptr<char16_t[]> released;
    std::lock_guard lock(m_mutex);
    auto found = m_live.find(memory);
    if (found == m_live.end()) {
        return false;
    }
    released = std::move(found->second);
    m_live.erase(found);
    return true;
}

}  // namespace zeph::platform::pcsclite
