// Card-type provider names from the smart card database, under the value names Windows uses.
#include "pcsc/SmartCardDatabase.h"

#include <gtest/gtest.h>

#include "MemoryRegistry.h"
#include "pcsc/PcScConstants.h"

#ifndef _WIN32
#include "TempDirectory.h"
#include "registry/RegFileRegistry.h"
#endif

namespace {

constexpr char16_t kCard[] = u"TALPO SmartCard";
const std::u16string kCardKey = std::u16string(kSmartCardDatabaseKey) + u"\\" + kCard;

class SmartCardDatabaseTest : public ::testing::Test {
  protected:
    uint32_t LookUp(std::u16string_view card, uint32_t providerId) {
        provider = u"stale";
        return LookUpCardTypeProvider(registry, card, providerId, provider);
    }

    MemoryRegistry registry;
    std::u16string provider;
};

TEST_F(SmartCardDatabaseTest, EachProviderKindIsReadFromItsWindowsValueName) {
    registry.SetString(kCardKey, u"Crypto Provider", u"Microsoft Base Smart Card Crypto Provider");
    registry.SetString(kCardKey, u"Smart Card Key Storage Provider",
                       u"Microsoft Smart Card Key Storage Provider");
    registry.SetString(kCardKey, u"80000001", u"C:\\Windows\\System32\\tpkmdt64.dll");

    ASSERT_EQ(LookUp(kCard, kScardProviderCsp), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"Microsoft Base Smart Card Crypto Provider");
    ASSERT_EQ(LookUp(kCard, kScardProviderKsp), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"Microsoft Smart Card Key Storage Provider");
    ASSERT_EQ(LookUp(kCard, kScardProviderCardModule), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"C:\\Windows\\System32\\tpkmdt64.dll");
}

TEST_F(SmartCardDatabaseTest, MissingCardTypeAndMissingProviderAnswerLikeWinSCard) {
    EXPECT_EQ(LookUp(kCard, kScardProviderCsp), SCARD_E_UNKNOWN_CARD);
    EXPECT_EQ(provider, u"");
    registry.SetString(kCardKey, u"Crypto Provider", u"CSP");
    EXPECT_EQ(LookUp(kCard, kScardProviderKsp), ERROR_FILE_NOT_FOUND_RESULT);
    EXPECT_EQ(provider, u"");
}

TEST_F(SmartCardDatabaseTest, CardTypeNamesIgnoreCaseButCannotReachOtherKeys) {
    registry.SetString(kCardKey, u"Crypto Provider", u"CSP");
    registry.SetString(kCardKey + u"\\Nested", u"Crypto Provider", u"nested");
    EXPECT_EQ(LookUp(u"talpo smartcard", kScardProviderCsp), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"CSP");
    EXPECT_EQ(LookUp(u"TALPO SmartCard\\Nested", kScardProviderCsp), SCARD_E_UNKNOWN_CARD);
    EXPECT_EQ(LookUp(u"", kScardProviderCsp), SCARD_E_UNKNOWN_CARD);
    EXPECT_EQ(LookUp(std::u16string(u"TALPO SmartCard\0x", 17), kScardProviderCsp),
              SCARD_E_UNKNOWN_CARD);
}

TEST_F(SmartCardDatabaseTest, OnlyStringValuesNameProvidersAndTheyEndAtTheirFirstNul) {
    registry.SetValue(kCardKey, u"Crypto Provider", {kRegBinary, {0x41, 0}});
    EXPECT_EQ(LookUp(kCard, kScardProviderCsp), kInvalidDataResult);
    EXPECT_EQ(provider, u"");

    registry.SetValue(kCardKey, u"Crypto Provider", {kRegExpandSz, {0x41, 0, 0, 0, 0x42, 0}});
    ASSERT_EQ(LookUp(kCard, kScardProviderCsp), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"A");

    // Without a terminator, and with an odd last byte.
    registry.SetValue(kCardKey, u"Crypto Provider", {kRegSz, {0x41, 0, 0x42, 0, 0x43}});
    ASSERT_EQ(LookUp(kCard, kScardProviderCsp), SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"AB");
}

TEST_F(SmartCardDatabaseTest, OtherProviderKindsAndRegistryErrors) {
    registry.SetString(kCardKey, u"Crypto Provider", u"CSP");
    EXPECT_EQ(LookUp(kCard, 1), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(LookUp(kCard, 5), SCARD_E_INVALID_PARAMETER);
    registry.FailNextOpens({kRegistryAccessDenied});
    EXPECT_EQ(LookUp(kCard, kScardProviderCsp), kRegistryAccessDenied);
    EXPECT_EQ(provider, u"");
}

TEST_F(SmartCardDatabaseTest, ReadsTheSixtyFourBitViewOnly) {
    registry.SetString(
        u"SOFTWARE\\WOW6432Node\\Microsoft\\Cryptography\\Calais\\SmartCards\\"
        u"TALPO SmartCard",
        u"Crypto Provider", u"32-bit CSP");
    EXPECT_EQ(LookUp(kCard, kScardProviderCsp), SCARD_E_UNKNOWN_CARD);
}

#ifndef _WIN32
TEST(SmartCardDatabaseFile, AnswersFromARegistryExport) {
    TempDirectory directory;
    const std::string path = directory.Write(
        "registry.reg",
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\\Calais\\SmartCards\\TALPO "
        "SmartCard]\r\n"
        "\"Crypto Provider\"=\"Microsoft Base Smart Card Crypto Provider\"\r\n"
        "\"80000001\"=\"C:\\\\Program Files\\\\TALPO\\\\TPQLSAKMDT64.DLL\"\r\n"
        "\"ATR\"=hex:3b,bf,96,00\r\n\"ATRMask\"=hex:ff,ff,ff,ff\r\n");
    RegFileRegistry registry(path);
    std::u16string provider;
    ASSERT_EQ(LookUpCardTypeProvider(registry, kCard, kScardProviderCardModule, provider),
              SCARD_S_SUCCESS);
    EXPECT_EQ(provider, u"C:\\Program Files\\TALPO\\TPQLSAKMDT64.DLL");
    EXPECT_EQ(LookUpCardTypeProvider(registry, kCard, kScardProviderKsp, provider),
              ERROR_FILE_NOT_FOUND_RESULT);
}
#endif

}  // namespace
