// Who may connect to a reader while others hold it, and what the reader then reports.
#include "SimulatorFixture.h"

namespace {

class SharingTest : public SimulatorTest {
  protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    }
};

TEST_F(SharingTest, ExclusiveConnectionRefusesEveryModeAtOnce) {
    MustConnect(SCARD_SHARE_EXCLUSIVE);
    ScardHandle other = 0;
    for (const uint32_t mode : {SCARD_SHARE_EXCLUSIVE, SCARD_SHARE_SHARED, SCARD_SHARE_DIRECT}) {
        EXPECT_EQ(Connect(mode, other), SCARD_E_SHARING_VIOLATION) << "share mode " << mode;
    }
    EXPECT_EQ(pcsc.HoldShared(kReaderA), SCARD_E_SHARING_VIOLATION);
}

TEST_F(SharingTest, SharedConnectionAdmitsSharedOnly) {
    MustConnect(SCARD_SHARE_SHARED);
    ScardHandle other = 0;
    EXPECT_EQ(Connect(SCARD_SHARE_SHARED, other), SCARD_S_SUCCESS);
    EXPECT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, other), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(Connect(SCARD_SHARE_DIRECT, other), SCARD_E_SHARING_VIOLATION);
}

TEST_F(SharingTest, DirectConnectionNeedsNoCardButKeepsOthersOut) {
    ASSERT_TRUE(pcsc.RemoveCard(kReaderA));
    ScardHandle direct = 0;
    uint32_t protocol = 99;
    ASSERT_EQ(pcsc.Connect(context, kReaderA, SCARD_SHARE_DIRECT, 0, &direct, &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_UNDEFINED);
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    EXPECT_EQ(pcsc.HoldShared(kReaderA), SCARD_E_SHARING_VIOLATION);
}

TEST_F(SharingTest, ReadersThatCannotTakeAConnectionSayWhy) {
    ScardHandle card = 0;
    EXPECT_EQ(Connect(SCARD_SHARE_SHARED, card, SCARD_PROTOCOL_T1, u"No such reader"),
              SCARD_E_UNKNOWN_READER);

    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    EXPECT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, card, SCARD_PROTOCOL_T1, kReaderB),
              SCARD_W_REMOVED_CARD);
    ASSERT_TRUE(pcsc.InsertCard(kReaderB, sim::SimCard{.atr = kAtr, .mute = true}));
    EXPECT_EQ(Connect(SCARD_SHARE_SHARED, card, SCARD_PROTOCOL_T1, kReaderB),
              SCARD_W_UNRESPONSIVE_CARD);
    ASSERT_TRUE(pcsc.SetReaderUnavailable(kReaderB, true));
    EXPECT_EQ(Connect(SCARD_SHARE_DIRECT, card, 0, kReaderB), SCARD_E_READER_UNAVAILABLE);

    EXPECT_EQ(Connect(SCARD_SHARE_SHARED, card, SCARD_PROTOCOL_T0), SCARD_E_PROTO_MISMATCH);
    uint32_t active = 0;
    EXPECT_EQ(pcsc.Connect(context + 1000, kReaderA, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card,
                           &active),
              SCARD_E_INVALID_HANDLE);
    EXPECT_TRUE(pcsc.Connections().empty());
}

TEST_F(SharingTest, NegotiationPrefersT1) {
    ScardHandle card = 0;
    uint32_t active = 0;
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    ASSERT_TRUE(pcsc.InsertCard(
        kReaderB, sim::SimCard{.atr = kAtr, .protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1}));
    ASSERT_EQ(pcsc.Connect(context, kReaderB, SCARD_SHARE_SHARED,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &active),
              SCARD_S_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    ASSERT_EQ(
        pcsc.Reconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, SCARD_LEAVE_CARD, &active),
        SCARD_S_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T0);
}

TEST_F(SharingTest, ReconnectBecomesExclusiveOnlyWhenNoOneElseHoldsTheCard) {
    const ScardHandle mine = MustConnect(SCARD_SHARE_SHARED);
    ASSERT_EQ(pcsc.HoldShared(kReaderA), SCARD_S_SUCCESS);
    uint32_t active = 0;
    EXPECT_EQ(
        pcsc.Reconnect(mine, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &active),
        SCARD_E_SHARING_VIOLATION);

    ASSERT_TRUE(pcsc.ReleaseHeld(kReaderA));
    EXPECT_EQ(
        pcsc.Reconnect(mine, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_UNPOWER_CARD, &active),
        SCARD_S_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    EXPECT_EQ(pcsc.HoldShared(kReaderA), SCARD_E_SHARING_VIOLATION);
    ASSERT_EQ(pcsc.Connections().size(), 1u);
    EXPECT_EQ(pcsc.Connections()[0].shareMode, SCARD_SHARE_EXCLUSIVE);
}

TEST_F(SharingTest, ReaderReportsWhoHoldsTheCard) {
    EXPECT_EQ(Bits(pcsc.ReaderState(kReaderA)), SCARD_STATE_PRESENT);

    ASSERT_EQ(pcsc.HoldShared(kReaderA), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(Observed()), SCARD_STATE_PRESENT | SCARD_STATE_INUSE | SCARD_STATE_CHANGED);
    ASSERT_TRUE(pcsc.ReleaseHeld(kReaderA));

    ASSERT_EQ(pcsc.HoldExclusively(kReaderA), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(Observed()), SCARD_STATE_PRESENT | SCARD_STATE_EXCLUSIVE | SCARD_STATE_CHANGED);
    ScardHandle card = 0;
    EXPECT_EQ(Connect(SCARD_SHARE_SHARED, card), SCARD_E_SHARING_VIOLATION);
    ASSERT_TRUE(pcsc.ReleaseHeld(kReaderA));

    EXPECT_EQ(Bits(pcsc.ReaderState(kReaderA)), SCARD_STATE_PRESENT);
    EXPECT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, card), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(pcsc.ReaderState(kReaderA)), SCARD_STATE_PRESENT | SCARD_STATE_EXCLUSIVE);
}

}  // namespace
