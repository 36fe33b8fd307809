// Every registry backend answers as the Windows registry does: opening keys in both views,
// querying values (sizes, ERROR_MORE_DATA, missing values), subkeys, access rights and names
// compared without regard to case. Under Wine the same suite runs against the real Win32
// registry, which keeps the portable backends honest. Then the limit of a key name, and the card
// types' provider names
// the smart card database reads under the value names Windows uses.
#include <gtest/gtest.h>

#include "RegistryBackends.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/SmartCardDatabase.h"
#include "registry/RegistryTreeKey.h"

namespace {

const std::u16string kKey = TestRoot() + u"\\Card";
const RegistryValue kBinary{kRegBinary, {0x3B, 0x8F, 0x80, 0x01}};

template <typename Backend>
class RegistryConformance : public ::testing::Test {
  protected:
    void SetUp() override { m_backend.SetValue(kKey, RegistryView::Bit64, u"ATR", kBinary); }

    uint32_t Open(std::u16string_view path, RegistryKey& key,
                  RegistryView view = RegistryView::Bit64, uint32_t access = kKeyRead) {
        return m_backend.Registry().OpenLocalMachineKey(path, view, access, key);
    }

    Backend m_backend;
};

#ifdef _WIN32
using Backends = ::testing::Types<MemoryBackend, Win32Backend>;
#else
using Backends = ::testing::Types<MemoryBackend, FileBackend>;
#endif
TYPED_TEST_SUITE(RegistryConformance, Backends);

TYPED_TEST(RegistryConformance, OpensExistingKeysOnlyAndAClosedKeyAnswersInvalidHandle) {
    RegistryKey key;
    EXPECT_EQ(this->Open(kKey, key), kRegistrySuccess);
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(this->Open(kKey + u"\\Missing", key), kRegistryFileNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(this->Open(u"\\" + kKey, key), kRegistryBadPathname);
    EXPECT_EQ(this->Open(kKey, key, RegistryView::Bit64, kKeyRead | 0x0002),
              kRegistryInvalidParameter);
    ASSERT_EQ(this->Open(kKey, key), kRegistrySuccess);
    key.Close();
    uint32_t size = 0;
    EXPECT_EQ(key.QueryValue(u"ATR", nullptr, nullptr, &size), kRegistryInvalidHandle);
    EXPECT_EQ(key.SubKeyCount(size), kRegistryInvalidHandle);
}

// A size query, then an exact buffer; a small buffer is told the size and gets nothing; a missing
// value is not found; empty and default values are read.
TYPED_TEST(RegistryConformance, QueriesAndReadsValuesAsTheWindowsRegistryDoes) {
    this->m_backend.SetValue(kKey, RegistryView::Bit64, u"", {kRegSz, {0x41, 0, 0, 0}});
    this->m_backend.SetValue(kKey, RegistryView::Bit64, u"Empty", {kRegBinary, {}});
    RegistryKey key;
    ASSERT_EQ(this->Open(kKey, key), kRegistrySuccess);
    uint32_t type = 0;
    uint32_t size = 0;
    ASSERT_EQ(key.QueryValue(u"ATR", &type, nullptr, &size), kRegistrySuccess);
    EXPECT_EQ(type, kRegBinary);
    ASSERT_EQ(size, kBinary.data.size());
    std::vector<uint8_t> bytes(size);
    ASSERT_EQ(key.QueryValue(u"ATR", nullptr, bytes.data(), &size), kRegistrySuccess);
    EXPECT_EQ(bytes, kBinary.data);

    uint8_t small[3] = {0xAA, 0xAA, 0xAA};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(key.QueryValue(u"ATR", &type, small, &size), kRegistryMoreData);
    EXPECT_EQ(size, kBinary.data.size());
    EXPECT_EQ(type, kRegBinary);

    size = sizeof small;
    EXPECT_EQ(key.QueryValue(u"ATRMask", nullptr, small, &size), kRegistryFileNotFound);
    RegistryValue value;
    EXPECT_EQ(key.ReadValue(u"Missing", value), kRegistryFileNotFound);
    ASSERT_EQ(key.ReadValue(u"", value), kRegistrySuccess);
    EXPECT_EQ(value, (RegistryValue{kRegSz, {0x41, 0, 0, 0}}));
    ASSERT_EQ(key.ReadValue(u"Empty", value), kRegistrySuccess);
    EXPECT_EQ(value, (RegistryValue{kRegBinary, {}}));
}

TYPED_TEST(RegistryConformance, KeyAndValueNamesIgnoreCase) {
    RegistryKey key;
    const std::u16string digits =
        TestRootName().substr(std::u16string_view(u"ZephRegistryTest").size());
    ASSERT_EQ(this->Open(u"software\\zephREGISTRYtest" + digits + u"\\CARD", key),
              kRegistrySuccess);
    RegistryValue value;
    ASSERT_EQ(key.ReadValue(u"atr", value), kRegistrySuccess);
    EXPECT_EQ(value, kBinary);
}

TYPED_TEST(RegistryConformance, CountsAndEnumeratesSubkeysInNameOrder) {
    for (const char16_t* name : {u"b2", u"A1", u"c3"}) {
        this->m_backend.CreateKey(kKey + u"\\" + name, RegistryView::Bit64);
    }
    RegistryKey key;
    ASSERT_EQ(this->Open(kKey, key), kRegistrySuccess);
    uint32_t count = 0;
    ASSERT_EQ(key.SubKeyCount(count), kRegistrySuccess);
    EXPECT_EQ(count, 3u);
    // Forwards, then backwards and skipping: every index names its own subkey.
    for (const std::vector<uint32_t>& order : {std::vector<uint32_t>{0, 1, 2}, {2, 1, 0}, {2, 0}}) {
        std::vector<std::u16string> names(3);
        for (const uint32_t i : order) {
            ASSERT_EQ(key.EnumSubKey(i, names[i]), kRegistrySuccess);
        }
        const std::u16string expected[] = {u"A1", u"b2", u"c3"};
        for (const uint32_t i : order) {
            EXPECT_EQ(names[i], expected[i]);
        }
    }
    std::u16string past;
    EXPECT_EQ(key.EnumSubKey(3, past), kRegistryNoMoreItems);
}

TYPED_TEST(RegistryConformance, RightsOfTheOpenedKeyAreEnforced) {
    RegistryKey enumerateOnly;
    ASSERT_EQ(this->Open(kKey, enumerateOnly, RegistryView::Bit64, kKeyEnumerateSubKeys),
              kRegistrySuccess);
    uint32_t size = 0;
    EXPECT_EQ(enumerateOnly.QueryValue(u"ATR", nullptr, nullptr, &size), kRegistryAccessDenied);
    RegistryKey queryOnly;
    ASSERT_EQ(this->Open(TestRoot(), queryOnly, RegistryView::Bit64, kKeyQueryValue),
              kRegistrySuccess);
    std::u16string name;
    EXPECT_EQ(queryOnly.EnumSubKey(0, name), kRegistryAccessDenied);
}

TYPED_TEST(RegistryConformance, ThirtyTwoBitViewLivesUnderWow6432Node) {
    const std::u16string key32 = TestRoot() + u"\\Only32";
    this->m_backend.SetValue(key32, RegistryView::Bit32, u"V", {kRegDword, {1, 0, 0, 0}});
    RegistryKey key;
    EXPECT_EQ(this->Open(key32, key, RegistryView::Bit32), kRegistrySuccess);
    EXPECT_EQ(this->Open(key32, key, RegistryView::Bit64), kRegistryFileNotFound);
    EXPECT_EQ(this->Open(u"SOFTWARE\\WOW6432Node\\" + TestRootName() + u"\\Only32", key),
              kRegistrySuccess);
    EXPECT_EQ(this->Open(kKey, key, RegistryView::Bit32), kRegistryFileNotFound);
}

TEST(RegistryPathLimits, KeyNamesOfMoreThan255CharactersAreInvalid) {
    EXPECT_TRUE(SplitRegistryPath(std::u16string(255, u'k')));
    EXPECT_FALSE(SplitRegistryPath(std::u16string(256, u'k')));
}

// Card types ignore case but reach no other key; only string values name providers, and they end
// at their first NUL. The value names of the provider kinds are read in
// tests/identification/HelperTest.
TEST(SmartCardDatabaseTest, FindsTheProviderOfTheCardTypeInItsStringValue) {
    const std::u16string key = std::u16string(kSmartCardDatabaseKey) + u"\\TALPO SmartCard";
    const RegistryValue csp{kRegSz, RegistryStringBytes(u"CSP")};
    const RegistryValue binary{kRegBinary, {0x41, 0}};
    const RegistryValue unterminated{kRegSz, {0x41, 0, 0x42, 0, 0x43}};  // an odd last byte too
    const struct {
        std::u16string card;
        uint32_t providerId;
        RegistryValue value;  // of "Crypto Provider"
        uint32_t result;
        std::u16string provider;
    } rows[] = {
        {u"talpo smartcard", kScardProviderCsp, csp, 0, u"CSP"},
        {u"TALPO SmartCard\\Nested", kScardProviderCsp, csp, SCARD_E_UNKNOWN_CARD, u""},
        {u"TALPO SmartCard", kScardProviderCsp, binary, kInvalidDataResult, u""},
        {u"TALPO SmartCard", kScardProviderCsp, unterminated, 0, u"AB"},
    };
    for (const auto& row : rows) {
        MemoryRegistry registry;
        registry.SetValue(key, u"Crypto Provider", row.value);
        registry.SetString(key + u"\\Nested", u"Crypto Provider", u"nested");
        std::u16string provider = u"stale";
        EXPECT_EQ(LookUpCardTypeProvider(registry, row.card, row.providerId, provider), row.result)
            << std::string(row.card.begin(), row.card.end());
        EXPECT_EQ(provider, row.provider);
    }
}

}  // namespace
