// Under Wine: the ATR mask table read from the smart card database of the real Win32 registry,
// with fixture keys written into the prefix's HKEY_LOCAL_MACHINE.
#include "HelperFixture.h"
#include "Win32RegistryFixture.h"
#include "identification/AtrTable.h"
#include "registry/Win32Registry.h"

namespace {

using ZEPH_Helper::MoraAtrMask;
using ZEPH_Helper::VH_GetAllTalpoAtr;

const std::vector<uint8_t> kAtr = {0x3B, 0x8A, 0x80, 0x01, 0x54, 0x41, 0x4C, 0x50, 0x4F, 0x20};
const std::vector<uint8_t> kMask = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

class AtrTableWin32Registry : public HelperTest {
  protected:
    void SetUp() override { RegisterMinidriverWithKsp(); }

    MoraAtrMask Record() {
        MoraAtrMask record;
        EXPECT_TRUE(VH_GetAllTalpoAtr({pcsc, win32}, &record, 1));
        return record;
    }

    // Every test program uses the same database key: they take turns with it.
    RegistryFixtureTurn turn{u"ZephCalaisFixtureTurn"};
    Win32Registry win32;
};

TEST_F(AtrTableWin32Registry, ReadsTheEntryOfTheCardTypeFromTheSixtyFourBitView) {
    ScopedRegistryKey key(CalaisKey(kKmdtCard), RegistryView::Bit64);
    ASSERT_EQ(key.CreateResult(), 0u);
    ASSERT_EQ(key.SetBinary(u"ATR", kAtr), 0u);
    ASSERT_EQ(key.SetBinary(u"ATRMask", kMask), 0u);
    const MoraAtrMask record = Record();
    EXPECT_EQ(std::vector<uint8_t>(record.rgbAtr, record.rgbAtr + record.cbAtr), kAtr);
    EXPECT_EQ(std::vector<uint8_t>(record.rgbMask, record.rgbMask + record.cbAtr), kMask);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_TRUE(TextsAt(TRACE_WARNING).empty());
}

TEST_F(AtrTableWin32Registry, PlatformRegistryIsTheWin32Registry) {
    ScopedRegistryKey key(CalaisKey(kKmdtCard), RegistryView::Bit64);
    ASSERT_EQ(key.SetBinary(u"ATR", kAtr), 0u);
    ASSERT_EQ(key.SetBinary(u"ATRMask", kMask), 0u);
    PcScAtrMask entry{};
    ASSERT_TRUE(VH_GetAllTalpoAtr({pcsc, PlatformRegistry()}, &entry, 1));
    EXPECT_EQ(entry.cbAtr, kAtr.size());
}

TEST_F(AtrTableWin32Registry, UnusableEntriesFallBackToThePredefinedOne) {
    {
        ScopedRegistryKey only32(CalaisKey(kKmdtCard), RegistryView::Bit32);
        ASSERT_EQ(only32.SetBinary(u"ATR", kAtr), 0u);
        ASSERT_EQ(only32.SetBinary(u"ATRMask", kMask), 0u);
        EXPECT_EQ(Record().cbAtr, 24u);
    }
    ScopedRegistryKey key(CalaisKey(kKmdtCard), RegistryView::Bit64);
    ASSERT_EQ(key.SetString(u"ATR", u"3B8A"), 0u);
    ASSERT_EQ(key.SetBinary(u"ATRMask", kMask), 0u);
    EXPECT_EQ(Record().cbAtr, 24u);
    ASSERT_EQ(key.SetBinary(u"ATR", std::vector<uint8_t>(73, 0x3B)), 0u);
    ASSERT_EQ(key.SetBinary(u"ATRMask", std::vector<uint8_t>(73, 0xFF)), 0u);
    EXPECT_EQ(Record().cbAtr, 24u);
    EXPECT_EQ(TextsAt(TRACE_WARNING).size(), 6u);
}

}  // namespace
