// Card-type provider names from the smart card database, under the value names Windows uses.
#include "pcsc/SmartCardDatabase.h"

#include <gtest/gtest.h>

#include "MemoryRegistry.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr char16_t kCard[] = u"TALPO SmartCard";
const std::u16string kCardKey = std::u16string(kSmartCardDatabaseKey) + u"\\" + kCard;

class SmartCardDatabaseTest : public ::testing::Test {
  protected:
    // The result of the look-up, and what it delivered after "stale".
    std::pair<uint32_t, std::u16string> LookUp(std::u16string_view card, uint32_t providerId) {
        std::u16string provider = u"stale";
        const uint32_t result = LookUpCardTypeProvider(registry, card, providerId, provider);
        return {result, provider};
    }

    MemoryRegistry registry;
};

using Answer = std::pair<uint32_t, std::u16string>;

// The value names of the provider kinds are read in tests/identification/ActiveCryptoProviderTest.
TEST_F(SmartCardDatabaseTest, MissingCardTypesValuesAndUnknownKindsAreRefused) {
    EXPECT_EQ(LookUp(kCard, kScardProviderCsp), Answer(SCARD_E_UNKNOWN_CARD, u""));
    registry.SetString(kCardKey, u"Crypto Provider", u"CSP");
    EXPECT_EQ(LookUp(kCard, kScardProviderCardModule), Answer(ERROR_FILE_NOT_FOUND_RESULT, u""));
    EXPECT_EQ(LookUp(kCard, 1).first, SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(LookUp(kCard, 5).first, SCARD_E_INVALID_PARAMETER);
}

TEST_F(SmartCardDatabaseTest, CardTypeNamesIgnoreCaseButCannotReachOtherKeysOrViews) {
    registry.SetString(kCardKey, u"Crypto Provider", u"CSP");
    registry.SetString(kCardKey + u"\\Nested", u"Crypto Provider", u"nested");
    registry.SetString(std::u16string(u"SOFTWARE\\WOW6432Node").append(kCardKey, 8).append(u"32"),
                       u"Crypto Provider", u"32-bit CSP");
    EXPECT_EQ(LookUp(u"talpo smartcard", kScardProviderCsp), Answer(0, u"CSP"));
    for (const std::u16string& card :
         {std::u16string(u"TALPO SmartCard\\Nested"), std::u16string(u""),
          std::u16string(u"TALPO SmartCard32"), std::u16string(u"TALPO SmartCard\0x", 17)}) {
        EXPECT_EQ(LookUp(card, kScardProviderCsp).first, SCARD_E_UNKNOWN_CARD);
    }
}

TEST_F(SmartCardDatabaseTest, OnlyStringValuesNameProvidersAndTheyEndAtTheirFirstNul) {
    const std::pair<RegistryValue, Answer> cases[] = {
        {{kRegBinary, {0x41, 0}}, {kInvalidDataResult, u""}},
        {{kRegExpandSz, {0x41, 0, 0, 0, 0x42, 0}}, {0, u"A"}},
        {{kRegSz, {0x41, 0, 0x42, 0, 0x43}}, {0, u"AB"}},  // no terminator, an odd last byte
    };
    for (const auto& [value, answer] : cases) {
        registry.SetValue(kCardKey, u"Crypto Provider", value);
        EXPECT_EQ(LookUp(kCard, kScardProviderCsp), answer);
    }
}

}  // namespace
