// The maker's ATR mask in the smart card database of the registry ("Calais"): the values
// "ATRMask" and "ATR" (REG_BINARY) of the card type's key
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Cryptography\Calais\SmartCards\<card type>, 64-bit view.
#pragma once

#include <cstdint>

#include "identification/MoraAtrMask.h"
#include "registry/Registry.h"

namespace ZEPH_Helper {

// The maker's card types in the database.
inline constexpr char16_t kCalaisTalpoKmdtT3Key[] = u"TALPO SmartCard";  // minidriver
inline constexpr char16_t kCalaisTalpoCspT3Key[] = u"Talpo eCard T3";    // the maker's CSP

// The card type whose entry holds the mask for a provider value of VH_GetActiveCryptoProvider:
// "Talpo eCard T3" for 2, "TALPO SmartCard" for 3, 4 and 5, none (null) for any other.
const char16_t* CardTypeOfProvider(uint32_t provider);

// Reads the card type's mask and ATR into the record's arrays and length. Both values must be
// REG_BINARY of the same size, at most 36 bytes (0 is accepted); each is read into a buffer of
// 72 bytes, so a larger one fails its query. Returns false and leaves the record unchanged when
// the key, a value, its type or its size is not as required.
bool ReadCalaisAtrEntry(RegistryApi& registry, const char16_t* cardType, MoraAtrMask& record);

}  // namespace ZEPH_Helper
