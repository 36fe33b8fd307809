// The maker's ATR mask table: the mask read from the registry's smart card database for the
// card type of the active cryptographic provider, or the predefined TCOS3 entry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "identification/CardIdentificationServices.h"
#include "identification/MoraAtrMask.h"
#include "pcsc/PcScApi.h"

namespace ZEPH_Helper {

// The predefined entry (24 bytes): bytes 12, 13 and 23 are ignored, byte 10 is compared in its
// low four bits only.
inline constexpr uint8_t kPredefinedAtr[] = {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D,
                                             0x00, 0x64, 0x04, 0x11, 0x00, 0x00, 0x31, 0xC0,
                                             0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};
inline constexpr uint8_t kPredefinedAtrMask[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0xFF, 0xFF, 0x0F, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Fills the table in the PC/SC layout. Entry 0 receives the mask; every entry gets its length,
// and its arrays receive that many bytes: an entry of length 0 keeps the caller's bytes. False
// for a null table, no entries, or when the records could not be built; the table is then
// unchanged.
bool VH_GetAllTalpoAtr(const CardIdentificationServices& services, PcScAtrMask* table,
                       size_t count);
bool VH_GetAllTalpoAtr(PcScAtrMask* table, size_t count);

// Clears all records and fills the first one: from the smart card database when a provider was
// detected (VH_GetActiveCryptoProvider), else with the predefined entry.
bool VH_GetAllTalpoAtr(const CardIdentificationServices& services, MoraAtrMask* records,
                       size_t count);
bool VH_GetAllTalpoAtr(MoraAtrMask* records, size_t count);

// Clears the record and fills it from the source: CALAIS reads the entry of the provider's card
// type and falls back to the predefined entry (keeping the card type's name and the source
// CALAIS); PREDEFINED takes the predefined entry. False for a null record or an unknown
// source. Exceptions pass to the caller.
bool _FillActualUsedAtr(const CardIdentificationServices& services, AtrSource source,
                        uint32_t provider, MoraAtrMask* record);
bool _FillActualUsedAtr(AtrSource source, uint32_t provider, MoraAtrMask* record);

}  // namespace ZEPH_Helper
