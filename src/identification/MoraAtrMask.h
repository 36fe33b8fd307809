// The helper library's record of one accepted ATR, its enumerations and its text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZEPH_Helper {

inline constexpr size_t kAtrCapacity = 36;
inline constexpr size_t kProviderNameCapacity = 64;  // UTF-16 units, terminator included

// Kind of ATR; only TCOS3 has a name.
enum class AtrType : uint32_t { Tcos3 = 3 };

// Where the record's ATR and mask come from.
enum class AtrSource : uint32_t {
    Calais = 1,      // the registry's smart card database
    Predefined = 2,  // the predefined entry
};

// Kind of card; only its text is used.
enum class ScType : uint32_t {
    Predefined = 0,
    Kv = 1,
    Norma = 4,
    KmdtFakeRvw = 5,
    NormaLx = 14,
    NormaRy = 24,
    KmdtFakeHlnk = 25,
    NormaTalpo = 34,
};

// A freshly built record is all zero.
struct MoraAtrMask {
    uint32_t cbAtr = 0;  // valid bytes in rgbAtr and rgbMask
    uint8_t rgbAtr[kAtrCapacity] = {};
    uint8_t rgbMask[kAtrCapacity] = {};
    uint32_t atrType = 0;    // AtrType
    uint32_t atrSource = 0;  // AtrSource
    uint32_t scType = 0;     // ScType
    // Card type whose registry entry was used; empty when none.
    char16_t provider[kProviderNameCapacity] = {};
};

// "TCOS3", "CALAIS", "PREDEFINED", "KV", ...; "UNKNOWN" for any value without a name.
const char16_t* AtrTypeText(uint32_t atrType);
const char16_t* AtrSourceText(uint32_t atrSource);
const char16_t* ScTypeText(uint32_t scType);

// "ATR Type '<type>' Source '<source>' SC Type '<SC type>' Provider '<provider>'". The ATR
// bytes are not part of it; the provider ends at its terminator or after 64 units.
std::u16string MoraAtrMaskText(const MoraAtrMask& record);

}  // namespace ZEPH_Helper
