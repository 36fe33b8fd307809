// Locating cards by a masked ATR, and the card-type provider table.
#include <algorithm>
#include <string>

#include "SimulatorFixture.h"

namespace {

PcScAtrMask Mask(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& mask) {
    PcScAtrMask entry{};
    entry.cbAtr = static_cast<uint32_t>(reference.size());
    std::copy(reference.begin(), reference.end(), entry.rgbAtr);
    std::copy(mask.begin(), mask.end(), entry.rgbMask);
    return entry;
}

class LocateTest : public SimulatorTest {
  protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        ASSERT_TRUE(pcsc.InsertCard(kReaderA, std::vector<uint8_t>{0x3B, 0x12, 0xA5, 0x7F}));
    }

    // The located entry's event state for the one reader.
    uint32_t Located(const std::vector<PcScAtrMask>& masks, const char16_t* reader = kReaderA,
                     uint32_t eventState = 0) {
        PcScReaderState entry = Entry(reader);
        entry.dwEventState = eventState;
        EXPECT_EQ(pcsc.LocateCardsByATR(context, masks.data(), static_cast<uint32_t>(masks.size()),
                                        &entry, 1),
                  SCARD_S_SUCCESS);
        return entry.dwEventState;
    }
};

TEST_F(LocateTest, MaskedBytesDecideTheMatch) {
    const PcScAtrMask lowNibbleOfByte1 = Mask({0x3B, 0xF2, 0x00, 0x7F}, {0xFF, 0x0F, 0x00, 0xFF});
    EXPECT_NE(Located({lowNibbleOfByte1}) & SCARD_STATE_ATRMATCH, 0u);

    const PcScAtrMask lastByteDiffers = Mask({0x3B, 0x12, 0xA5, 0x7E}, {0xFF, 0xFF, 0xFF, 0x01});
    EXPECT_EQ(Located({lastByteDiffers}, kReaderA, SCARD_STATE_ATRMATCH) & SCARD_STATE_ATRMATCH,
              0u);
    EXPECT_NE(Located({lastByteDiffers, lowNibbleOfByte1}) & SCARD_STATE_ATRMATCH, 0u);
}

TEST_F(LocateTest, LengthsMustBeEqual) {
    EXPECT_EQ(Located({Mask({0x3B, 0x12, 0xA5}, {0xFF, 0xFF, 0xFF})}) & SCARD_STATE_ATRMATCH, 0u);
    EXPECT_EQ(Located({Mask({0x3B, 0x12, 0xA5, 0x7F, 0x00}, {0xFF, 0xFF, 0xFF, 0xFF, 0x00})}) &
                  SCARD_STATE_ATRMATCH,
              0u);
}

TEST_F(LocateTest, EventStateCarriesTheReaderState) {
    ASSERT_EQ(pcsc.HoldShared(kReaderA), SCARD_S_SUCCESS);
    const PcScAtrMask any = Mask({0x3B, 0x00, 0x00, 0x00}, {0xFF, 0x00, 0x00, 0x00});
    EXPECT_EQ(Bits(Located({any})),
              SCARD_STATE_PRESENT | SCARD_STATE_INUSE | SCARD_STATE_ATRMATCH | SCARD_STATE_CHANGED);

    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    EXPECT_EQ(Bits(Located({any}, kReaderB)), SCARD_STATE_EMPTY | SCARD_STATE_CHANGED);
}

TEST_F(LocateTest, OversizedMaskIsRefused) {
    PcScAtrMask oversized{};
    oversized.cbAtr = 37;
    PcScReaderState entry = Entry(kReaderA);
    EXPECT_EQ(pcsc.LocateCardsByATR(context, &oversized, 1, &entry, 1), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(pcsc.LocateCardsByATR(context + 1000, &oversized, 0, &entry, 1),
              SCARD_E_INVALID_HANDLE);
}

TEST_F(LocateTest, ProviderNamesComeFromTheTable) {
    pcsc.SetCardTypeProvider(u"Some Card", 2, u"Some Provider");
    {
        PcScMemory provider;
        ASSERT_EQ(pcsc.GetCardTypeProviderName(context, u"Some Card", 2, provider),
                  SCARD_S_SUCCESS);
        EXPECT_EQ(std::u16string(provider.Text()), u"Some Provider");
        EXPECT_EQ(provider.Length(), 14u);
        EXPECT_EQ(pcsc.GetCardTypeProviderName(context, u"Some Card", 3, provider),
                  ERROR_FILE_NOT_FOUND_RESULT);
        EXPECT_TRUE(provider.Empty());
        EXPECT_EQ(pcsc.GetCardTypeProviderName(context, u"Other Card", 2, provider),
                  ERROR_FILE_NOT_FOUND_RESULT);
    }
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

}  // namespace
