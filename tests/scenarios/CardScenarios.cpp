// Card connections: exclusive use, the card's answer and state, sharing conflicts (which WinSCard
// answers at once), and what a removal, a reset or a released context does to a card handle.
#include "ScenarioFixture.h"

namespace {

TEST_P(PcScScenario, ExclusiveConnectionTransmitsAndReportsItsStatusAndLengthsNeeded) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(Connect(Context(), &card), SCARD_S_SUCCESS);
    std::vector<uint8_t> answer;
    ASSERT_EQ(Select(card, &answer), SCARD_S_SUCCESS);
    EXPECT_EQ(answer, kStatusOk);

    PcScMemory readerName;
    uint32_t state = 0;
    uint32_t protocol = 0;
    uint8_t atr[SCARD_ATR_CAPACITY] = {};
    uint32_t atrLength = sizeof(atr);
    ASSERT_EQ(Api().Status(card, readerName, &state, &protocol, atr, &atrLength), SCARD_S_SUCCESS);
    EXPECT_EQ(state, SCARD_SPECIFIC);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);
    ASSERT_FALSE(readerName.Empty());
    EXPECT_EQ(std::u16string(readerName.Text()), Reader());
    EXPECT_EQ(std::vector<uint8_t>(atr, atr + atrLength), kPredefinedAtr);

    // Buffers too small for the answer or the ATR: the call says so and tells the length needed,
    // so that a caller can grow its buffer from it.
    uint32_t capacity = 1;
    EXPECT_EQ(Select(card, nullptr, &capacity), SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(capacity, kStatusOk.size());
    atrLength = static_cast<uint32_t>(kPredefinedAtr.size() - 1);  // one byte short
    EXPECT_EQ(Api().Status(card, readerName, nullptr, nullptr, atr, &atrLength),
              SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(atrLength, kPredefinedAtr.size());
    EXPECT_EQ(Api().Disconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(Api().Disconnect(card, SCARD_LEAVE_CARD), SCARD_E_INVALID_HANDLE);
}

TEST_P(PcScScenario, CardHeldByAnotherApplicationIsRefusedAtOnceUntilItLetsGo) {
    Stack().InsertCard(kPredefinedAtr);
    Stack().HoldCardExclusivelyElsewhere();
    ScardHandle card = 0;
    auto refused = Start([&] { return Connect(Context(), &card); });
    ASSERT_TRUE(Finishes(refused, [&] { Stack().ReleaseCardElsewhere(); }));
    EXPECT_EQ(refused.get(), SCARD_E_SHARING_VIOLATION);
    EXPECT_TRUE(ReaderState(Context()).dwEventState & SCARD_STATE_EXCLUSIVE);

    Stack().ReleaseCardElsewhere();
    EXPECT_EQ(Connect(Context(), &card), SCARD_S_SUCCESS);
}

// The module relies on these to notice a card that went and came back while it held a handle.
TEST_P(PcScScenario, RemovedCardRefusesTheHandleUntilItIsReconnectedToANewCard) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(Connect(Context(), &card), SCARD_S_SUCCESS);
    Stack().RemoveCard();
    EXPECT_EQ(Select(card), SCARD_W_REMOVED_CARD);
    EXPECT_EQ(Select(card), SCARD_W_REMOVED_CARD);

    Stack().InsertCard(kPredefinedAtr);
    uint32_t protocol = 0;
    EXPECT_EQ(Api().Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD,
                              &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(Select(card), SCARD_S_SUCCESS);
}

TEST_P(PcScScenario, ResetByAnotherConnectionIsReportedToTheOthers) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle resetter = 0;
    ScardHandle other = 0;
    ASSERT_EQ(Connect(Context(), &resetter, SCARD_SHARE_SHARED), SCARD_S_SUCCESS);
    ASSERT_EQ(Connect(Context(), &other, SCARD_SHARE_SHARED), SCARD_S_SUCCESS);
    uint32_t protocol = 0;
    ASSERT_EQ(Api().Reconnect(resetter, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_RESET_CARD,
                              &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(Select(resetter), SCARD_S_SUCCESS);
    EXPECT_EQ(Select(other), SCARD_W_RESET_CARD);
    EXPECT_EQ(
        Api().Reconnect(other, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &protocol),
        SCARD_S_SUCCESS);
    EXPECT_EQ(Select(other), SCARD_S_SUCCESS);
}

TEST_P(PcScScenario, ReleasedContextTakesItsCardHandlesAlong) {
    Stack().InsertCard(kPredefinedAtr);
    const ScardContext context = NewContext();
    ScardHandle card = 0;
    ASSERT_EQ(Connect(context, &card), SCARD_S_SUCCESS);
    ASSERT_EQ(Api().ReleaseContext(context), SCARD_S_SUCCESS);
    EXPECT_EQ(Select(card), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(Connect(Context(), &card), SCARD_S_SUCCESS);
}

}  // namespace
