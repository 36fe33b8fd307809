// The length handed back to the host after PC/SC wrote into the host's buffer. PC/SC answers with
// a count that is not always a byte count of the buffer: after SCARD_E_INSUFFICIENT_BUFFER it is
// the size needed, after other failures it may be left over from anything (pcsc-lite has been
// seen leaving 0x5A5A5A5A). The host never receives a count of written bytes beyond what it
// offered.
#pragma once

#include <algorithm>
#include <cstdint>

#include "pcsc/PcScConstants.h"

// Success: the count, at most the capacity. SCARD_E_INSUFFICIENT_BUFFER: the size needed. Any
// other failure: the count if it lies within the capacity, otherwise `otherwise`.
inline uint64_t LengthForHost(uint32_t result, uint32_t count, uint64_t capacity,
                              uint64_t otherwise) {
    if (result == SCARD_S_SUCCESS) {
        return std::min<uint64_t>(count, capacity);
    }
    if (result == SCARD_E_INSUFFICIENT_BUFFER) {
        return count;
    }
    return count <= capacity ? count : otherwise;
}
