// The masked ATR comparison of SCardLocateCardsByATR.
#pragma once

#include <cstdint>
#include <span>

#include "pcsc/PcScApi.h"

namespace sim {

// True when the card's ATR has the mask's length and (card & mask) == (reference & mask) for
// every byte.
bool AtrMatches(std::span<const uint8_t> cardAtr, const PcScAtrMask& mask);

}  // namespace sim
