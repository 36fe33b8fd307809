// Under Wine: the ATR entry of a card type read from the smart card database of the real Win32
// registry. The Wine prefix outlives a run: every run writes a card type of its own name, and
// removes at its start what a killed run left behind.
#include <gtest/gtest.h>

#include "RegistryBackends.h"
#include "identification/CalaisAtrEntry.h"
#include "pcsc/SmartCardDatabase.h"

namespace {

using ZEPH_Helper::MoraAtrMask;
using ZEPH_Helper::ReadCalaisAtrEntry;

constexpr char16_t kCardPrefix[] = u"ZephTestCard ";
const std::vector<uint8_t> kAtr = {0x3B, 0x8A, 0x80, 0x01, 0x54, 0x41, 0x4C, 0x50, 0x4F, 0x20};
const std::vector<uint8_t> kMask = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

void RemoveTestCards() {
    for (const RegistryView view : {RegistryView::Bit64, RegistryView::Bit32}) {
        DeleteSubKeysStartingWith(kSmartCardDatabaseKey, kCardPrefix, view);
    }
}

class CalaisEntryWin32Registry : public ::testing::Test {
  protected:
    void SetUp() override { RemoveTestCards(); }
    void TearDown() override { RemoveTestCards(); }

    bool Read(RegistryApi& registry, MoraAtrMask& record) {
        return ReadCalaisAtrEntry(registry, cardType.c_str(), record);
    }

    // The test programs take turns with the database's keys, so that the removal at the start
    // cannot meet the card type of a test in progress.
    RegistryFixtureTurn turn{u"ZephCalaisFixtureTurn"};
    const std::u16string cardType = UniqueKeyName(kCardPrefix);
    const std::u16string key = std::u16string(kSmartCardDatabaseKey) + u"\\" + cardType;
    Win32Registry win32;
};

TEST_F(CalaisEntryWin32Registry, IsReadFromTheSixtyFourBitViewAlsoThroughThePlatformRegistry) {
    ScopedRegistryKey entry(key, RegistryView::Bit64);
    ASSERT_EQ(entry.CreateResult(), 0u);
    ASSERT_EQ(entry.SetBinary(u"ATR", kAtr), 0u);
    ASSERT_EQ(entry.SetBinary(u"ATRMask", kMask), 0u);
    for (RegistryApi* registry : {static_cast<RegistryApi*>(&win32), &PlatformRegistry()}) {
        MoraAtrMask record;
        ASSERT_TRUE(Read(*registry, record));
        EXPECT_EQ(std::vector<uint8_t>(record.rgbAtr, record.rgbAtr + record.cbAtr), kAtr);
        EXPECT_EQ(std::vector<uint8_t>(record.rgbMask, record.rgbMask + record.cbAtr), kMask);
    }
}

}  // namespace
