// The smart card database in the registry, read as SCardGetCardTypeProviderNameW reads it on
// Windows: one key per card type under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Cryptography\Calais\SmartCards (64-bit view), with one
// string value per provider kind. For PC/SC implementations without a database of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "registry/Registry.h"

inline constexpr char16_t kSmartCardDatabaseKey[] =
    u"SOFTWARE\\Microsoft\\Cryptography\\Calais\\SmartCards";

// Provider kinds (SCARD_PROVIDER_*) and the values that name their providers.
inline constexpr uint32_t kScardProviderCsp = 2;  // "Crypto Provider"
inline constexpr uint32_t kScardProviderKsp = 3;  // "Smart Card Key Storage Provider"
inline constexpr uint32_t kScardProviderCardModule = 0x80000001;  // "80000001"

// Windows ERROR_INVALID_DATA.
inline constexpr uint32_t kInvalidDataResult = 13;

// The name of the provider of that kind registered for the card type. Results:
// - 0, and the name up to its first NUL character;
// - SCARD_E_UNKNOWN_CARD when the database has no such card type (also for an empty name and a
//   name with a backslash, which cannot name a card type's key);
// - ERROR_FILE_NOT_FOUND (2) when the card type has no provider of that kind;
// - ERROR_INVALID_DATA (13) when the value is not a string (REG_SZ or REG_EXPAND_SZ);
// - SCARD_E_INVALID_PARAMETER for a provider kind other than the three above;
// - any other registry error as the registry answered it.
// `provider` is empty unless the result is 0.
uint32_t LookUpCardTypeProvider(RegistryApi& registry, std::u16string_view cardName,
                                uint32_t providerId, std::u16string& provider);
