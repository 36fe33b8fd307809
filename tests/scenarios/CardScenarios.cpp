// Card connections: exclusive use, the card's answer, its state, and sharing conflicts, which
// WinSCard answers at once.
#include "ScenarioFixture.h"
#include "pcsc/PcScConstants.h"

namespace {

std::u16string FirstName(const PcScMemory& multi) {
    return multi.Empty() ? std::u16string() : std::u16string(multi.Text());
}

TEST_P(PcScScenario, ExclusiveConnectionTransmitsAndGetsTheCardsAnswer) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    uint32_t protocol = 0;
    ASSERT_EQ(Api().Connect(Context(), Reader().c_str(), SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1,
                            &card, &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);

    const PcScIoRequest sendPci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    PcScIoRequest receivePci{};
    uint8_t answer[258] = {};
    uint32_t answerLength = sizeof(answer);
    ASSERT_EQ(Api().Transmit(card, &sendPci, kSelectMasterFile.data(),
                             static_cast<uint32_t>(kSelectMasterFile.size()), &receivePci, answer,
                             &answerLength),
              SCARD_S_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(answer, answer + answerLength), kStatusOk);
    EXPECT_EQ(receivePci.dwProtocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(Api().Disconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
}

TEST_P(PcScScenario, StatusReportsTheStateOrdinalTheReaderAndTheAtr) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(ConnectExclusive(Context(), &card), SCARD_S_SUCCESS);
    PcScMemory readerName;
    uint32_t state = 0;
    uint32_t protocol = 0;
    uint8_t atr[SCARD_ATR_CAPACITY] = {};
    uint32_t atrLength = sizeof(atr);
    ASSERT_EQ(Api().Status(card, readerName, &state, &protocol, atr, &atrLength), SCARD_S_SUCCESS);
    EXPECT_EQ(state, SCARD_SPECIFIC);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(FirstName(readerName), Reader());
    EXPECT_EQ(std::vector<uint8_t>(atr, atr + atrLength), kPredefinedAtr);
}

TEST_P(PcScScenario, SecondExclusiveConnectionIsRefusedAtOnce) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle first = 0;
    ASSERT_EQ(ConnectExclusive(Context(), &first), SCARD_S_SUCCESS);
    const ScardContext other = NewContext();
    for (uint32_t shareMode : {SCARD_SHARE_EXCLUSIVE, SCARD_SHARE_SHARED}) {
        auto second = Start([&] {
            ScardHandle card = 0;
            uint32_t protocol = 0;
            return Api().Connect(other, Reader().c_str(), shareMode, SCARD_PROTOCOL_T1, &card,
                                 &protocol);
        });
        ASSERT_TRUE(Finishes(second, [&] { Api().Disconnect(first, SCARD_LEAVE_CARD); }))
            << "share mode " << shareMode;
        EXPECT_EQ(second.get(), SCARD_E_SHARING_VIOLATION) << "share mode " << shareMode;
    }
}

TEST_P(PcScScenario, CardHeldByAnotherApplicationIsRefusedAtOnceUntilItLetsGo) {
    Stack().InsertCard(kPredefinedAtr);
    Stack().HoldCardExclusivelyElsewhere();
    ScardHandle card = 0;
    auto refused = Start([&] { return ConnectExclusive(Context(), &card); });
    ASSERT_TRUE(Finishes(refused, [&] { Stack().ReleaseCardElsewhere(); }));
    EXPECT_EQ(refused.get(), SCARD_E_SHARING_VIOLATION);

    const PcScReaderState held = ReaderState(Context());
    EXPECT_TRUE(held.dwEventState & SCARD_STATE_EXCLUSIVE);

    Stack().ReleaseCardElsewhere();
    EXPECT_EQ(ConnectExclusive(Context(), &card), SCARD_S_SUCCESS);
}

}  // namespace
