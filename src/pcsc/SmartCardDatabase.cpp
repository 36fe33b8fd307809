#include "pcsc/SmartCardDatabase.h"

#include "pcsc/PcScConstants.h"

namespace {

const char16_t* ProviderValueName(uint32_t providerId) {
    switch (providerId) {
        case kScardProviderCsp:
            return u"Crypto Provider";
        case kScardProviderKsp:
            return u"Smart Card Key Storage Provider";
        case kScardProviderCardModule:
            return u"80000001";
        default:
            return nullptr;
    }
}

bool CanNameCardType(std::u16string_view cardName) {
    return !cardName.empty() &&
           cardName.find_first_of(std::u16string_view(u"\\\0", 2)) == std::u16string_view::npos;
}

// UTF-16LE bytes as text, up to the first NUL; an odd last byte is not part of the text.
std::u16string TextOf(const std::vector<uint8_t>& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        text += unit;
    }
    return text;
}

}  // namespace

uint32_t LookUpCardTypeProvider(RegistryApi& registry, std::u16string_view cardName,
                                uint32_t providerId, std::u16string& provider) {
    provider.clear();
    const char16_t* valueName = ProviderValueName(providerId);
    if (valueName == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    if (!CanNameCardType(cardName)) {
        return SCARD_E_UNKNOWN_CARD;
    }
    RegistryKey key;
    uint32_t result = registry.OpenLocalMachineKey(
        std::u16string(kSmartCardDatabaseKey) + u'\\' + std::u16string(cardName),
        RegistryView::Bit64, kKeyQueryValue, key);
    if (result != kRegistrySuccess) {
        return result == kRegistryFileNotFound ? SCARD_E_UNKNOWN_CARD : result;
    }
    RegistryValue value;
    result = key.ReadValue(valueName, value);
    if (result != kRegistrySuccess) {
        return result;
    }
    if (value.type != kRegSz && value.type != kRegExpandSz) {
        return kInvalidDataResult;
    }
    provider = TextOf(value.data);
    return SCARD_S_SUCCESS;
}
