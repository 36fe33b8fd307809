// Detection of the cryptographic provider that serves the maker's card on this computer, from
// the providers PC/SC reports for the maker's two card types.
#pragma once

#include <cstdint>
#include <string_view>

#include "identification/CardIdentificationServices.h"

namespace ZEPH_Helper {

// Values returned through PE_MORA_CryptoProvider.
enum class CryptoProvider : uint32_t {
    Undefined = 0,
    TalpoCsp = 2,                 // the maker's CSP for "Talpo eCard T3"
    CngWithMinidriver = 3,        // key storage provider + the maker's minidriver
    CspWithMinidriver = 4,        // CSP + the maker's minidriver
    CspAndCngWithMinidriver = 5,  // both
};

// Values returned through PE_MORA_CryptoProviderMutation.
enum class CryptoProviderMutation : uint32_t {
    Undefined = 0,
    Normal = 1,  // minidriver "TPKMDT64.DLL", or the maker's CSP
    Wdk = 2,     // minidriver "TPQLSAKMDT64.DLL"
};

// "undefined", "Talpo CSP", "Microsoft CNG mit Minitreiber", ...; "undefined" for any other
// value.
const char16_t* CryptoProviderText(uint32_t provider);
// "undefined", "normal", "wdk"; "undefined" for any other value.
const char16_t* CryptoProviderMutationText(uint32_t mutation);

// The mutation of the maker's minidriver a registered card module names (its name ends with the
// driver's file name, compared without regard to case); Undefined for any other module.
CryptoProviderMutation MinidriverMutation(std::u16string_view cardModule);

// Detects the active provider. Returns true when one was found; both values are 0 on entry of
// the detection and keep what was stored when an exception ends it. PC/SC is asked without a
// context, three to five times.
bool VH_GetActiveCryptoProvider(const CardIdentificationServices& services,
                                uint32_t* PE_MORA_CryptoProvider,
                                uint32_t* PE_MORA_CryptoProviderMutation);
// The same over the platform's services.
bool VH_GetActiveCryptoProvider(uint32_t* PE_MORA_CryptoProvider,
                                uint32_t* PE_MORA_CryptoProviderMutation);

}  // namespace ZEPH_Helper
