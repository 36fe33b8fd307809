// The configuration part of a diagnosis: where the registry values come from, the active crypto
// provider, the ATR mask the module would use and the crash options, each found by the module's
// own functions.
#include "DiagnosisConfiguration.h"

#include <algorithm>

#include "crash/CrashSettings.h"
#include "crash/HostExecutable.h"
#include "identification/ActiveCryptoProvider.h"
#include "identification/AtrTable.h"
#include "identification/CalaisAtrEntry.h"
#include "platform/TextConversion.h"
#include "registry/Registry.h"

namespace {

using zeph::platform::WideToNarrow;

// The crash options act only inside the host; read as the host would read them.
constexpr char kHostProbe[] = "MoraHost.exe";

MaskFinding Mask(const ZEPH_Helper::MoraAtrMask& record) {
    const uint32_t length = std::min<uint32_t>(record.cbAtr, ZEPH_Helper::kAtrCapacity);
    MaskFinding mask;
    mask.atr.assign(record.rgbAtr, record.rgbAtr + length);
    mask.mask.assign(record.rgbMask, record.rgbMask + length);
    mask.source = WideToNarrow(ZEPH_Helper::AtrSourceText(record.atrSource));
    mask.cardType = WideToNarrow(record.provider);
    return mask;
}

void ExamineProvider(ConfigurationFindings& configuration) {
    uint32_t provider = 0;
    uint32_t mutation = 0;
    ZEPH_Helper::VH_GetActiveCryptoProvider(&provider, &mutation);
    configuration.provider = provider;
    configuration.providerText = WideToNarrow(ZEPH_Helper::CryptoProviderText(provider));
    configuration.mutationText = WideToNarrow(ZEPH_Helper::CryptoProviderMutationText(mutation));
    const char16_t* cardType = ZEPH_Helper::CardTypeOfProvider(provider);
    configuration.cardType = cardType != nullptr ? WideToNarrow(cardType) : "";
}

}  // namespace

ConfigurationFindings ExamineConfiguration() {
    ConfigurationFindings configuration;
    DescribeRegistry(configuration);
    ExamineProvider(configuration);
    ZEPH_Helper::MoraAtrMask record;
    if (ZEPH_Helper::VH_GetAllTalpoAtr(&record, 1)) {
        configuration.masks.push_back(Mask(record));
    }
    using namespace ExceptionTranslator;
    configuration.showCrashMessage =
        ReadCrashSetting(kShowCrashMessage, kHostProbe, PlatformRegistry());
    configuration.restartHost =
        ReadCrashSetting(kShouldRestartHost, kHostProbe, PlatformRegistry());
    configuration.countsAsHost = IsHostExecutable(HostExecutablePath());
    return configuration;
}

std::vector<PcScAtrMask> PcScMasks(const ConfigurationFindings& configuration) {
    std::vector<PcScAtrMask> masks;
    for (const MaskFinding& finding : configuration.masks) {
        PcScAtrMask& mask = masks.emplace_back();
        mask.cbAtr = static_cast<uint32_t>(finding.atr.size());
        std::ranges::copy(finding.atr, mask.rgbAtr);
        std::ranges::copy(finding.mask, mask.rgbMask);
    }
    return masks;
}
