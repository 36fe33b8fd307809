// The cards and commands the tests share: the ATR the module accepts without any registry entry,
// SELECT of the master file (00 A4 00 0C 02 3F 00) and the card's answer to it, 90 00.
#pragma once

#include <cstdint>
#include <vector>

inline const std::vector<uint8_t> kPredefinedAtr = {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D,
                                                    0x00, 0x64, 0x04, 0x11, 0x00, 0x00, 0x31, 0xC0,
                                                    0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};
inline const std::vector<uint8_t> kSelectMasterFile = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
inline const std::vector<uint8_t> kStatusOk = {0x90, 0x00};
