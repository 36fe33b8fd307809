#include "identification/CalaisAtrEntry.h"

#include <algorithm>
#include <string>

#include "pcsc/SmartCardDatabase.h"

namespace ZEPH_Helper {

namespace {

constexpr uint32_t kValueBufferBytes = 72;

// One value read into a buffer of 72 bytes.
struct CalaisValue {
    uint32_t type = 0;
    uint32_t size = kValueBufferBytes;
    uint8_t bytes[kValueBufferBytes] = {};

    bool Read(const RegistryKey& key, const char16_t* name) {
        return key.QueryValue(name, &type, bytes, &size) == kRegistrySuccess;
    }
};

}  // namespace

const char16_t* CardTypeOfProvider(uint32_t provider) {
    switch (provider) {
        case 2:
            return kCalaisTalpoCspT3Key;
        case 3:
        case 4:
        case 5:
            return kCalaisTalpoKmdtT3Key;
        default:
            return nullptr;
    }
}

bool ReadCalaisAtrEntry(RegistryApi& registry, const char16_t* cardType, MoraAtrMask& record) {
    RegistryKey key;
    const std::u16string path = std::u16string(kSmartCardDatabaseKey) + u'\\' + cardType;
    if (registry.OpenLocalMachineKey(path, RegistryView::Bit64, kKeyQueryValue, key) !=
        kRegistrySuccess) {
        return false;
    }
    CalaisValue mask;
    CalaisValue atr;
    if (!mask.Read(key, u"ATRMask") || !atr.Read(key, u"ATR") || mask.type != kRegBinary ||
        atr.type != kRegBinary || mask.size != atr.size || atr.size > kAtrCapacity) {
        return false;
    }
    std::copy_n(mask.bytes, mask.size, record.rgbMask);
    std::copy_n(atr.bytes, atr.size, record.rgbAtr);
    record.cbAtr = atr.size;
    return true;
}

}  // namespace ZEPH_Helper
