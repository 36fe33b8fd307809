#include "pcsc/LogNames.h"

#include <array>
#include <string_view>

namespace {

struct NamedValue {
    uint32_t value;
    std::u16string_view text;
};

// "<prefix>0x%08x>" with eight lower-case hexadecimal digits.
std::u16string HexFallback(std::u16string_view prefix, uint32_t value) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text(prefix);
    text += u"0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kDigits[(value >> shift) & 0xFu];
    }
    text += u'>';
    return text;
}

template <size_t N>
const NamedValue* Find(const std::array<NamedValue, N>& table, uint32_t value) {
    for (const NamedValue& entry : table) {
        if (entry.value == value) {
            return &entry;
        }
    }
    return nullptr;
}

template <size_t N>
std::u16string Lookup(const std::array<NamedValue, N>& table, uint32_t value,
                      std::u16string_view fallbackPrefix) {
    const NamedValue* entry = Find(table, value);
    return entry != nullptr ? std::u16string(entry->text) : HexFallback(fallbackPrefix, value);
}

constexpr std::array<NamedValue, 7> kCardStates{{
    {0, u"<UNKNOWN>"},
    {1, u"<ABSENT>"},
    {2, u"<PRESENT>"},
    {3, u"<SWALLOWED>"},
    {4, u"<POWERED>"},
    {5, u"<NEGOTIABLE>"},
    {6, u"<SPECIFIC>"},
}};

// Masks are compared as a whole: RAW together with T1 is not "<RAW>".
constexpr std::array<NamedValue, 5> kProtocols{{
    {0, u"<UNDEF>"},
    {1, u"<T0>"},
    {2, u"<T1>"},
    {3, u"<T0/T1>"},
    {0x10000, u"<RAW>"},
}};

constexpr std::array<NamedValue, 3> kPowerActions{{
    {0, u"<POWER DOWN>"},
    {1, u"<COLD RESET>"},
    {2, u"<WARM RESET>"},
}};

constexpr uint32_t kErrorIoDevice = 1117;

constexpr std::array<NamedValue, 22> kSmartCardErrors{{
    {0x80100001, u"<SCARD_F_INTERNAL_ERROR>"},
    {0x80100002, u"<CANCELLED>"},
    {0x80100004, u"<INVALID_PARAMETER>"},
    {0x80100006, u"<SCARD_E_NO_MEMORY>"},
    {0x80100009, u"<UNKNOWN_READER>"},
    {0x8010000A, u"<TIMEOUT>"},
    {0x8010000B, u"<SHARING_VIOLATION>"},
    {0x8010000C, u"<NO_SMARTCARD>"},
    {0x80100012, u"<SYSTEM_CANCELLED>"},
    {0x80100013, u"<SCARD_F_COMM_ERROR>"},
    {0x80100014, u"<SCARD_F_UNKNOWN_ERROR>"},
    {0x80100015, u"<SCARD_E_INVALID_ATR>"},
    {0x80100017, u"<READER_UNAVAILABLE>"},
    {0x80100018, u"<SCARD_P_SHUTDOWN>"},
    {0x8010001D, u"<NO_SERVICE>"},
    {0x8010001E, u"<SERVICE_STOPPED>"},
    {0x8010002E, u"<NO_READERS_AVAILABLE>"},
    {0x8010002F, u"<COM_DATA_LOST>"},
    {0x80100067, u"<UNPOWERED_CARD>"},
    {0x80100068, u"<RESET_CARD>"},
    {0x80100069, u"<REMOVED_CARD>"},
    {0x8010006E, u"<CANCELLED_BY_USER>"},
}};

constexpr std::array<NamedValue, 8> kAttributes{{
    {0x00010100, u"Leser-Hersteller"},
    {0x00010101, u"Leser-Typ"},
    {0x00010102, u"Leser-Version"},
    {0x00010103, u"Leser-Seriennummer"},
    {0x0007AA01, u"Aktueller Leser"},
    {0x0007AA02, u"Manuelle Lesereinstellung"},
    {0x00090303, u"ATR_String"},
    {0x7FFF0001, u"Leser-Instanz"},
}};

}  // namespace

std::u16string CardStateName(uint32_t state) {
    return Lookup(kCardStates, state, u"<");
}

std::u16string ProtocolName(uint32_t protocol) {
    return Lookup(kProtocols, protocol, u"<");
}

std::u16string PowerActionName(uint32_t action) {
    return Lookup(kPowerActions, action, u"<");
}

// Results are read as signed 32-bit numbers: positive ones are Windows error codes, negative
// ones PC/SC results.
std::u16string ErrorName(uint32_t result) {
    const auto signedResult = static_cast<int32_t>(result);
    if (signedResult == 0) {
        return u"<OK>";
    }
    if (signedResult > 0) {
        return result == kErrorIoDevice ? u"<ERROR_IO_DEVICE>" : HexFallback(u"<Code ", result);
    }
    return Lookup(kSmartCardErrors, result, u"<Code ");
}

std::u16string AttributeName(uint32_t attributeId) {
    return Lookup(kAttributes, attributeId, u"ID <");
}
