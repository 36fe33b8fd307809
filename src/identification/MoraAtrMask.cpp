#include "identification/MoraAtrMask.h"

#include <algorithm>

namespace ZEPH_Helper {

const char16_t* AtrTypeText(uint32_t atrType) {
    return atrType == static_cast<uint32_t>(AtrType::Tcos3) ? u"TCOS3" : u"UNKNOWN";
}

const char16_t* AtrSourceText(uint32_t atrSource) {
    switch (static_cast<AtrSource>(atrSource)) {
        case AtrSource::Calais:
            return u"CALAIS";
        case AtrSource::Predefined:
            return u"PREDEFINED";
    }
    return u"UNKNOWN";
}

const char16_t* ScTypeText(uint32_t scType) {
    switch (static_cast<ScType>(scType)) {
        case ScType::Predefined:
            return u"PREDEFINED";
        case ScType::Kv:
            return u"KV";
        case ScType::Norma:
            return u"Norma";
        case ScType::KmdtFakeRvw:
            return u"KMDT Fake RVW";
        case ScType::NormaLx:
            return u"Norma LX";
        case ScType::NormaRy:
            return u"Norma RY";
        case ScType::KmdtFakeHlnk:
            return u"KMDT Fake HLNK";
        case ScType::NormaTalpo:
            return u"Norma Talpo";
    }
    return u"UNKNOWN";
}

std::u16string MoraAtrMaskText(const MoraAtrMask& record) {
    const char16_t* const providerEnd =
        std::find(std::begin(record.provider), std::end(record.provider), u'\0');
    return std::u16string(u"ATR Type '") + AtrTypeText(record.atrType) + u"' Source '" +
           AtrSourceText(record.atrSource) + u"' SC Type '" + ScTypeText(record.scType) +
           u"' Provider '" + std::u16string(std::begin(record.provider), providerEnd) + u"'";
}

}  // namespace ZEPH_Helper
