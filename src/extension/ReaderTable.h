// The reader state table of the wait for a card: one entry per listed reader (at most 32) and,
// while there is room, the PnP entry whose state carries the number of listed readers in bits 16
// and up. The table owns a copy of the reader names: the platform frees the list it allocated
// when the context is released, which a Cancel from another thread does at any moment.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pcsc/PcScApi.h"

struct ReaderTable {
    static constexpr uint32_t kCapacity = 32;

    ReaderTable() = default;
    // The entries point into the table's own names.
    ReaderTable(const ReaderTable&) = delete;
    ReaderTable& operator=(const ReaderTable&) = delete;

    std::u16string names;  // the listed names as a multi-string
    std::array<PcScReaderState, kCapacity> entries{};
    uint32_t count = 0;        // entries in use, the PnP entry included
    uint32_t readerCount = 0;  // listed readers in the table

    bool HasNotificationEntry() const { return count > readerCount; }
    bool IsNotificationEntry(uint32_t index) const { return index >= readerCount; }
};

// The readers of a multi-string (`length` units; null for none) in listing order, at most the
// table's capacity; the maker's virtual readers are ignored. Adds the PnP entry when fewer than
// 32 readers were listed.
void FillReaderTable(const char16_t* readers, uint32_t length, ReaderTable& table);

// Bits 16 to 23 of a reader state: the low byte of the reader count of the PnP entry.
inline uint32_t ReaderCountBits(uint32_t state) {
    return (state >> 16) & 0xFFu;
}
