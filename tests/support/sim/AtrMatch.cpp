#include "sim/AtrMatch.h"

namespace sim {

bool AtrMatches(std::span<const uint8_t> cardAtr, const PcScAtrMask& mask) {
    if (cardAtr.size() != mask.cbAtr) {
        return false;
    }
    for (size_t i = 0; i < cardAtr.size(); ++i) {
        if ((cardAtr[i] & mask.rgbMask[i]) != (mask.rgbAtr[i] & mask.rgbMask[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace sim
