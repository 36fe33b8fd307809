#include "pcsc/CardStateBits.h"

#include "pcsc/PcScConstants.h"

uint32_t OrdinalOfStateBits(uint32_t bits, uint32_t protocol) {
    constexpr uint32_t kAbsent = 0x0002;
    constexpr uint32_t kNegotiable = 0x0020;
    if ((bits & kAbsent) != 0) {
        return SCARD_ABSENT;
    }
    if ((bits & kNegotiable) != 0 && protocol != SCARD_PROTOCOL_UNDEFINED) {
        return SCARD_SPECIFIC;
    }
    struct Step {
        uint32_t bit;
        uint32_t ordinal;
    };
    constexpr Step kMostAdvancedFirst[] = {{0x0040, SCARD_SPECIFIC},
                                           {kNegotiable, SCARD_NEGOTIABLE},
                                           {0x0010, SCARD_POWERED},
                                           {0x0008, SCARD_SWALLOWED},
                                           {0x0004, SCARD_PRESENT}};
    for (const Step& step : kMostAdvancedFirst) {
        if ((bits & step.bit) != 0) {
            return step.ordinal;
        }
    }
    return SCARD_UNKNOWN;
}
