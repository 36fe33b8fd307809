#include "identification/AtrTable.h"

#include <algorithm>
#include <string>
#include <vector>

#include "crash/ThreadCrashHandlers.h"
#include "identification/ActiveCryptoProvider.h"
#include "identification/CalaisAtrEntry.h"
#include "identification/HelperLibTrace.h"

namespace ZEPH_Helper {

namespace {

constexpr char16_t kFillName[] = u"ZEPH_Helper::_FillActualUsedAtr";
constexpr char16_t kTableName[] = u"ZEPH_Helper::VH_GetAllTalpoAtr";

void FillPredefined(MoraAtrMask& record) {
    record.cbAtr = static_cast<uint32_t>(std::size(kPredefinedAtr));
    std::copy(std::begin(kPredefinedAtr), std::end(kPredefinedAtr), record.rgbAtr);
    std::copy(std::begin(kPredefinedAtrMask), std::end(kPredefinedAtrMask), record.rgbMask);
}

// Copies the card type's name into the record, cut to the record's capacity.
void SetProvider(MoraAtrMask& record, std::u16string_view cardType) {
    const size_t length = std::min(cardType.size(), kProviderNameCapacity - 1);
    std::copy_n(cardType.begin(), length, record.provider);
    record.provider[length] = u'\0';
}

void FillFromCalais(RegistryApi& registry, uint32_t provider, MoraAtrMask& record,
                    const std::u16string& component) {
    const char16_t* cardType = CardTypeOfProvider(provider);
    if (cardType != nullptr) {
        SetProvider(record, cardType);
        if (ReadCalaisAtrEntry(registry, cardType, record)) {
            return;
        }
    }
    TRC_WriteFormat(TRACE_WARNING, component.c_str(), u"%s::ATR ist nicht im Calais", kFillName);
    TRC_WriteFormat(TRACE_WARNING, component.c_str(),
                    u"%s::ATR wurde im Calais nicht gefunden, es wird die vordefinierte Variante "
                    u"eingestellt!",
                    kFillName);
    FillPredefined(record);
}

void CopyToTable(const MoraAtrMask& record, PcScAtrMask& entry) {
    const uint32_t length = std::min<uint32_t>(record.cbAtr, kAtrCapacity);
    std::copy_n(record.rgbAtr, length, entry.rgbAtr);
    std::copy_n(record.rgbMask, length, entry.rgbMask);
    entry.cbAtr = length;
}

}  // namespace

bool _FillActualUsedAtr(const CardIdentificationServices& services, AtrSource source,
                        uint32_t provider, MoraAtrMask* record) {
    const std::u16string component = HelperComponent();
    ZEPH_HELPER_METHOD_TRACE(trace, component, kFillName);
    if (record == nullptr) {
        TRC_WriteFormat(TRACE_ERROR, component.c_str(), u"%s::MoraAtrMask Zeiger ist NULL!",
                        kFillName);
        return false;
    }
    *record = MoraAtrMask{};
    if (source == AtrSource::Calais) {
        FillFromCalais(services.registry, provider, *record, component);
    } else if (source == AtrSource::Predefined) {
        FillPredefined(*record);
    } else {
        TRC_WriteFormat(TRACE_ERROR, component.c_str(), u"%s::Unbekannte AtrSource <%d>!",
                        kFillName, static_cast<uint32_t>(source));
        return false;
    }
    record->atrType = static_cast<uint32_t>(AtrType::Tcos3);
    record->scType = static_cast<uint32_t>(ScType::Predefined);
    record->atrSource = static_cast<uint32_t>(source);
    if (TRC_ShouldTrace(TRACE_INFO)) {
        TRC_WriteFormat(TRACE_INFO, component.c_str(), u"%s::ATR wurde ermittelt <%s>", kFillName,
                        MoraAtrMaskText(*record));
    }
    return true;
}

bool _FillActualUsedAtr(AtrSource source, uint32_t provider, MoraAtrMask* record) {
    return _FillActualUsedAtr(PlatformCardIdentificationServices(), source, provider, record);
}

bool VH_GetAllTalpoAtr(const CardIdentificationServices& services, MoraAtrMask* records,
                       size_t count) {
    InstallThreadCrashHandlers();  // a host thread may call this first
    const std::u16string component = HelperComponent();
    ZEPH_HELPER_METHOD_TRACE(trace, component, kTableName);
    return RunHelperGuarded(component, kTableName, [&] {
        if (records == nullptr || count == 0) {
            TRC_WriteFormat(TRACE_ERROR, component.c_str(),
                            u"%s::Der AtrMaskTabellen-Zeiger ist NULL oder hat keine Elemente",
                            kTableName);
            return false;
        }
        std::fill(records, records + count, MoraAtrMask{});
        uint32_t provider = 0;
        uint32_t mutation = 0;
        if (!VH_GetActiveCryptoProvider(services, &provider, &mutation)) {
            return _FillActualUsedAtr(services, AtrSource::Predefined, 0, records);
        }
        return _FillActualUsedAtr(services, AtrSource::Calais, provider, records);
    });
}

bool VH_GetAllTalpoAtr(MoraAtrMask* records, size_t count) {
    return VH_GetAllTalpoAtr(PlatformCardIdentificationServices(), records, count);
}

bool VH_GetAllTalpoAtr(const CardIdentificationServices& services, PcScAtrMask* table,
                       size_t count) {
    InstallThreadCrashHandlers();
    const std::u16string component = HelperComponent();
    ZEPH_HELPER_METHOD_TRACE(trace, component, kTableName);
    return RunHelperGuarded(component, kTableName, [&] {
        const auto refuse = [&] {
            TRC_WriteFormat(TRACE_ERROR, component.c_str(),
                            u"%s::Der AtrMaskTabellen Zeiger ist NULL oder hat keine Elemente",
                            kTableName);
            return false;
        };
        if (table == nullptr || count == 0) {
            return refuse();
        }
        std::vector<MoraAtrMask> records(count);
        if (!VH_GetAllTalpoAtr(services, records.data(), count)) {
            return refuse();
        }
        for (size_t i = 0; i < count; ++i) {
            CopyToTable(records[i], table[i]);
        }
        return true;
    });
}

bool VH_GetAllTalpoAtr(PcScAtrMask* table, size_t count) {
    return VH_GetAllTalpoAtr(PlatformCardIdentificationServices(), table, count);
}

}  // namespace ZEPH_Helper
