// Connecting to the virtual card and exchanging commands with it through pcscd.
#include "StackFixture.h"

namespace realstack {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kPredefinedAtr = {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D,
                              0x00, 0x64, 0x04, 0x11, 0x00, 0x00, 0x31, 0xC0,
                              0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};

Bytes StateAtr(const SCARD_READERSTATE& state) {
    return Bytes(state.rgbAtr, state.rgbAtr + state.cbAtr);
}

Bytes ConnectionAtr(const PcscCard& card) {
    BYTE atr[MAX_ATR_SIZE];
    DWORD atrLength = sizeof atr;
    DWORD state = 0;
    DWORD protocol = 0;
    DWORD nameLength = 0;
    const LONG result =
        SCardStatus(card.Handle(), nullptr, &nameLength, &state, &protocol, atr, &atrLength);
    EXPECT_EQ(result, SCARD_S_SUCCESS) << DescribeResult(result);
    return result == SCARD_S_SUCCESS ? Bytes(atr, atr + atrLength) : Bytes{};
}

using CardAccessTest = StackFixture;

TEST_F(CardAccessTest, ReportsThePredefinedAtr) {
    InsertCard();
    EXPECT_EQ(StateAtr(Context().CurrentState(ReaderName())), kPredefinedAtr);
    PcscCard card(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(card.Status(), SCARD_S_SUCCESS) << DescribeResult(card.Status());
    EXPECT_EQ(card.Protocol(), static_cast<DWORD>(SCARD_PROTOCOL_T1));
    EXPECT_EQ(ConnectionAtr(card), kPredefinedAtr);
}

TEST_F(CardAccessTest, ReportsAConfiguredAtr) {
    VirtualCardOptions options;
    options.atr = "3B 02 14 50";
    InsertCard(options);
    EXPECT_EQ(StateAtr(Context().CurrentState(ReaderName())), (Bytes{0x3B, 0x02, 0x14, 0x50}));
    PcscCard card(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(card.Status(), SCARD_S_SUCCESS) << DescribeResult(card.Status());
    EXPECT_EQ(card.Protocol(), static_cast<DWORD>(SCARD_PROTOCOL_T0));
    EXPECT_EQ(ConnectionAtr(card), (Bytes{0x3B, 0x02, 0x14, 0x50}));
}

TEST_F(CardAccessTest, SelectAndReadBinaryReturnTheCardsFile) {
    VirtualCardOptions options;
    options.files = {"2F02=5A0A1122334455"};
    VirtualCardProcess& virtualCard = InsertCard(options);
    PcscCard card(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(card.Status(), SCARD_S_SUCCESS) << DescribeResult(card.Status());
    Bytes response;

    ASSERT_EQ(card.Transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (Bytes{0x90, 0x00}));
    ASSERT_EQ(card.Transmit({0x00, 0xA4, 0x02, 0x0C, 0x02, 0x2F, 0x02}, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (Bytes{0x90, 0x00}));
    ASSERT_EQ(card.Transmit({0x00, 0xB0, 0x00, 0x00, 0x07}, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (Bytes{0x5A, 0x0A, 0x11, 0x22, 0x33, 0x44, 0x55, 0x90, 0x00}));

    EXPECT_TRUE(virtualCard.WaitForEvent("apdu 00B0000007 5A0A11223344559000"));
}

TEST_F(CardAccessTest, LongestShortResponseCrossesTheStackWhole) {
    VirtualCardOptions options;
    options.files = {"5000=" + std::string(600, 'C')};
    InsertCard(options);
    PcscCard card(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(card.Status(), SCARD_S_SUCCESS) << DescribeResult(card.Status());
    Bytes response;
    ASSERT_EQ(card.Transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, 0x50, 0x00}, response), SCARD_S_SUCCESS);
    ASSERT_EQ(card.Transmit({0x00, 0xB0, 0x00, 0x2C, 0x00}, response), SCARD_S_SUCCESS);
    Bytes expected(258, 0xCC);  // 256 bytes of data, then 9000
    expected[256] = 0x90;
    expected[257] = 0x00;
    EXPECT_EQ(response, expected);
}

TEST_F(CardAccessTest, OtherCommandsGetTheConfiguredStatus) {
    VirtualCardOptions options;
    options.otherStatus = "6A81";
    InsertCard(options);
    PcscCard card(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(card.Status(), SCARD_S_SUCCESS) << DescribeResult(card.Status());
    Bytes response;
    ASSERT_EQ(card.Transmit({0x00, 0xCA, 0x9F, 0x7F, 0x00}, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (Bytes{0x6A, 0x81}));
}

}  // namespace
}  // namespace realstack
