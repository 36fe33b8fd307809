#include "identification/ActiveCryptoProvider.h"

#include <algorithm>
#include <optional>
#include <string>

#include "pcsc/LogNames.h"
#include "crash/ThreadCrashHandlers.h"
#include "identification/CalaisAtrEntry.h"
#include "identification/HelperLibTrace.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/SmartCardDatabase.h"

namespace ZEPH_Helper {

namespace {

constexpr char16_t kName[] = u"ZEPH_Helper::VH_GetActiveCryptoProvider";

// The name buffers of the queries hold 260 characters, terminator included.
constexpr size_t kNameBufferChars = 260;

constexpr std::u16string_view kMinidriver = u"TPKMDT64.DLL";
constexpr std::u16string_view kWdkMinidriver = u"TPQLSAKMDT64.DLL";

constexpr char16_t kKspError[] =
    u"%s::Fehler <%s> beim Aufruf "
    u"SCardGetCardTypeProviderName(CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_KSP)!";
constexpr char16_t kCspError[] =
    u"%s::Fehler <%s> beim Aufruf "
    u"SCardGetCardTypeProviderName(CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CSP)!";
constexpr char16_t kCardModuleError[] =
    u"%s::Fehler <%s> beim Aufruf "
    u"SCardGetCardTypeProviderName(CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CARD_MODULE)!";
constexpr char16_t kMakersCspError[] =
    u"%s::Fehler <%s> beim Aufruf SCardGetCardTypeProviderName(CALAIS_TALPO_CSP_T3_KEY)!";

char16_t UpperAscii(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

bool EndsWithIgnoringCase(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(),
                      text.end() - static_cast<ptrdiff_t>(suffix.size()),
                      [](char16_t s, char16_t t) { return UpperAscii(s) == UpperAscii(t); });
}

// The provider of that kind registered for the card type, as the platform's
// SCardGetCardTypeProviderNameW answers into a buffer of 260 characters.
uint32_t QueryProvider(PcScApi& pcsc, const char16_t* cardType, uint32_t kind,
                       std::u16string& name) {
    PcScMemory memory;
    const uint32_t result = pcsc.GetCardTypeProviderName(0, cardType, kind, memory);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    const char16_t* text = memory.Text();
    name = text != nullptr ? std::u16string(text, std::find(text, text + memory.Length(), u'\0'))
                           : std::u16string();
    return name.size() < kNameBufferChars ? SCARD_S_SUCCESS : SCARD_E_INSUFFICIENT_BUFFER;
}

// One detection: writes provider and mutation through as it finds them.
class Detection {
  public:
    Detection(PcScApi& pcsc, const std::u16string& component, uint32_t& provider,
              uint32_t& mutation)
        : m_pcsc(pcsc), m_component(component), m_provider(provider), m_mutation(mutation) {}

    bool Run() {
        DetectKeyStorageProvider();
        DetectCspWithMinidriver();
        if (m_provider == 0) {
            DetectMakersCsp();
        }
        if (m_found && TRC_ShouldTrace(TRACE_DETAIL)) {
            TRC_WriteFormat(TRACE_DETAIL, m_component.c_str(),
                            u"%s::Aktive(r) CryptoProvider: <%s> Mutation: <%s>", kName,
                            CryptoProviderText(m_provider), CryptoProviderMutationText(m_mutation));
        }
        return m_found;
    }

  private:
    void TraceQueryError(const char16_t* format, uint32_t result) {
        TRC_WriteFormat(TRACE_ERROR, m_component.c_str(), format, kName, ErrorName(result));
    }

    // After a provider of `kind` for "TALPO SmartCard", its card module: the mutation of the
    // maker's minidriver, or nothing when a query failed.
    std::optional<CryptoProviderMutation> MinidriverWith(uint32_t kind, const char16_t* kindError) {
        std::u16string name;
        uint32_t result = QueryProvider(m_pcsc, kCalaisTalpoKmdtT3Key, kind, name);
        if (result != SCARD_S_SUCCESS) {
            TraceQueryError(kindError, result);
            return std::nullopt;
        }
        result = QueryProvider(m_pcsc, kCalaisTalpoKmdtT3Key, kScardProviderCardModule, name);
        if (result != SCARD_S_SUCCESS) {
            TraceQueryError(kCardModuleError, result);
            return std::nullopt;
        }
        return MinidriverMutation(name);
    }

    void DetectKeyStorageProvider() {
        const auto mutation = MinidriverWith(kScardProviderKsp, kKspError);
        if (mutation.value_or(CryptoProviderMutation::Undefined) !=
            CryptoProviderMutation::Undefined) {
            m_provider = static_cast<uint32_t>(CryptoProvider::CngWithMinidriver);
            m_mutation = static_cast<uint32_t>(*mutation);
            m_found = true;
        }
    }

    // Leaves the mutation as it is: a CSP alone comes with mutation 0.
    void DetectCspWithMinidriver() {
        const auto mutation = MinidriverWith(kScardProviderCsp, kCspError);
        if (mutation.value_or(CryptoProviderMutation::Undefined) !=
            CryptoProviderMutation::Undefined) {
            m_provider = static_cast<uint32_t>(
                m_provider == static_cast<uint32_t>(CryptoProvider::CngWithMinidriver)
                    ? CryptoProvider::CspAndCngWithMinidriver
                    : CryptoProvider::CspWithMinidriver);
            m_found = true;
        }
    }

    // Only that a CSP is registered counts, not its name.
    void DetectMakersCsp() {
        std::u16string name;
        const uint32_t result =
            QueryProvider(m_pcsc, kCalaisTalpoCspT3Key, kScardProviderCsp, name);
        if (result != SCARD_S_SUCCESS) {
            TraceQueryError(kMakersCspError, result);
            return;
        }
        m_provider = static_cast<uint32_t>(CryptoProvider::TalpoCsp);
        m_mutation = static_cast<uint32_t>(CryptoProviderMutation::Normal);
        m_found = true;
    }

    PcScApi& m_pcsc;
    const std::u16string& m_component;
    uint32_t& m_provider;
    uint32_t& m_mutation;
    bool m_found = false;
};

}  // namespace

const char16_t* CryptoProviderText(uint32_t provider) {
    switch (static_cast<CryptoProvider>(provider)) {
        case CryptoProvider::TalpoCsp:
            return u"Talpo CSP";
        case CryptoProvider::CngWithMinidriver:
            return u"Microsoft CNG mit Minitreiber";
        case CryptoProvider::CspWithMinidriver:
            return u"Microsoft CSP mit Minitreiber";
        case CryptoProvider::CspAndCngWithMinidriver:
            return u"Microsoft CSP und CNG mit Minitreiber";
        case CryptoProvider::Undefined:
            break;
    }
    return u"undefined";
}

const char16_t* CryptoProviderMutationText(uint32_t mutation) {
    switch (static_cast<CryptoProviderMutation>(mutation)) {
        case CryptoProviderMutation::Normal:
            return u"normal";
        case CryptoProviderMutation::Wdk:
            return u"wdk";
        case CryptoProviderMutation::Undefined:
            break;
    }
    return u"undefined";
}

CryptoProviderMutation MinidriverMutation(std::u16string_view cardModule) {
    if (EndsWithIgnoringCase(cardModule, kWdkMinidriver)) {
        return CryptoProviderMutation::Wdk;
    }
    if (EndsWithIgnoringCase(cardModule, kMinidriver)) {
        return CryptoProviderMutation::Normal;
    }
    return CryptoProviderMutation::Undefined;
}

bool VH_GetActiveCryptoProvider(const CardIdentificationServices& services,
                                uint32_t* PE_MORA_CryptoProvider,
                                uint32_t* PE_MORA_CryptoProviderMutation) {
    InstallThreadCrashHandlers();
    const std::u16string component = HelperComponent();
    ZEPH_HELPER_METHOD_TRACE(trace, component, kName);
    return RunHelperGuarded(component, kName, [&] {
        if (PE_MORA_CryptoProvider == nullptr) {
            TRC_WriteFormat(TRACE_ERROR, component.c_str(),
                            u"%s::Der Parameter <PE_MORA_CryptoProvider> ist NULL!", kName);
            return false;
        }
        if (PE_MORA_CryptoProviderMutation == nullptr) {
            TRC_WriteFormat(TRACE_ERROR, component.c_str(),
                            u"%s::Der Parameter <PE_MORA_CryptoProviderMutation> ist NULL!", kName);
            return false;
        }
        *PE_MORA_CryptoProvider = 0;
        *PE_MORA_CryptoProviderMutation = 0;
        return Detection(services.pcsc, component, *PE_MORA_CryptoProvider,
                         *PE_MORA_CryptoProviderMutation)
            .Run();
    });
}

bool VH_GetActiveCryptoProvider(uint32_t* PE_MORA_CryptoProvider,
                                uint32_t* PE_MORA_CryptoProviderMutation) {
    return VH_GetActiveCryptoProvider(PlatformCardIdentificationServices(), PE_MORA_CryptoProvider,
                                      PE_MORA_CryptoProviderMutation);
}

}  // namespace ZEPH_Helper
