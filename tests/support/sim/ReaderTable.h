// The simulated readers in the order they were added, each with the card it holds.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/ControlResponder.h"
#include "sim/SimCard.h"

namespace sim {

struct SimReader {
    // Never reused, so that a reader added again under an old name is a new reader.
    uint64_t id = 0;
    std::u16string name;
    std::optional<SimCard> card;
    // Card insertions and removals so far; reported in bits 16 and up of the reader's state.
    uint16_t eventCount = 0;
    bool unavailable = false;
    std::map<uint32_t, std::vector<uint8_t>> attributes;
    ControlResponder control;
};

class ReaderTable {
  public:
    // Null when a reader of that name exists already.
    SimReader* Add(const std::u16string& name);
    bool Remove(const std::u16string& name);
    SimReader* Find(std::u16string_view name);
    const SimReader* Find(std::u16string_view name) const;
    SimReader* FindById(uint64_t id);
    size_t Count() const { return m_readers.size(); }
    // All names, each zero-terminated, plus the closing zero; empty without readers.
    std::u16string MultiString() const;

  private:
    std::vector<SimReader> m_readers;
    uint64_t m_nextId = 1;
};

}  // namespace sim
