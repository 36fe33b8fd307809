#include "pcsc/AtrMask.h"

#include "pcsc/PcScConstants.h"

bool AtrMatches(const PcScAtrMask& mask, const uint8_t* atr, uint32_t atrLength) {
    if (mask.cbAtr != atrLength || atrLength > SCARD_ATR_CAPACITY) {
        return false;
    }
    for (uint32_t i = 0; i < atrLength; ++i) {
        if ((atr[i] & mask.rgbMask[i]) != (mask.rgbAtr[i] & mask.rgbMask[i])) {
            return false;
        }
    }
    return true;
}
