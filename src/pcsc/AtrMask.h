// The masked ATR comparison of SCardLocateCardsByATR, shared by the pcsc-lite backend and the
// test simulator.
#pragma once

#include <cstdint>

#include "pcsc/PcScApi.h"

// True when the ATR has the mask's length and every byte agrees with the reference under the mask.
bool AtrMatches(const PcScAtrMask& mask, const uint8_t* atr, uint32_t atrLength);
