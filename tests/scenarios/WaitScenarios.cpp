// Waits on one context from several threads: card calls alongside a wait, Cancel, Release.
#include "ScenarioFixture.h"
#include "pcsc/PcScConstants.h"

namespace {

TEST_P(PcScScenario, CardCallReturnsWhileAnotherThreadWaitsOnTheSameContext) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(ConnectExclusive(Context(), &card), SCARD_S_SUCCESS);
    PcScReaderState state = ReaderState(Context());
    state.dwCurrentState = state.dwEventState;
    auto wait = Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); });
    ASSERT_TRUE(AwaitWaits(Context(), 1));

    auto transmit = Start([&] {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        uint8_t answer[258];
        uint32_t answerLength = sizeof(answer);
        return Api().Transmit(card, &pci, kSelectMasterFile.data(),
                              static_cast<uint32_t>(kSelectMasterFile.size()), nullptr, answer,
                              &answerLength);
    });
    // A card call stuck behind the wait holds pcsc-lite's process-wide lock, which Cancel
    // needs as well; taking the card out ends the wait without pcsc-lite's client.
    EXPECT_TRUE(Finishes(transmit, [&] { Stack().RemoveCard(); }));
    EXPECT_EQ(transmit.get(), SCARD_S_SUCCESS);

    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);
    ASSERT_TRUE(Finishes(wait, [&] { Api().ReleaseContext(Context()); }));
    EXPECT_EQ(wait.get(), SCARD_E_CANCELLED);
}

TEST_P(PcScScenario, CancelFromAnotherThreadEndsEveryInfiniteWait) {
    PcScReaderState states[3] = {};
    for (PcScReaderState& state : states) {
        state = ReaderState(Context());
        state.dwCurrentState = state.dwEventState;
    }
    std::future<uint32_t> waits[3];
    for (PcScReaderState& state : states) {
        waits[&state - states] =
            Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); });
    }
    ASSERT_TRUE(AwaitWaits(Context(), 3));
    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);
    for (auto& wait : waits) {
        ASSERT_TRUE(Finishes(wait, [&] { Api().ReleaseContext(Context()); }));
        EXPECT_EQ(wait.get(), SCARD_E_CANCELLED);
    }
    EXPECT_EQ(Api().IsValidContext(Context()), SCARD_S_SUCCESS);
}

TEST_P(PcScScenario, CancelDoesNotReachAWaitThatStartsLater) {
    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);
    PcScReaderState state = ReaderState(Context());
    state.dwCurrentState = state.dwEventState;
    EXPECT_EQ(Api().GetStatusChange(Context(), 100, &state, 1), SCARD_E_TIMEOUT);
}

TEST_P(PcScScenario, ReleaseEndsTheWaitAndLaterWaitsFailAtOnce) {
    const ScardContext context = NewContext();
    PcScReaderState state = ReaderState(context);
    state.dwCurrentState = state.dwEventState;
    auto wait = Start([&] { return Api().GetStatusChange(context, SCARD_INFINITE, &state, 1); });
    ASSERT_TRUE(AwaitWaits(context, 1));
    EXPECT_EQ(Api().ReleaseContext(context), SCARD_S_SUCCESS);
    ASSERT_TRUE(Finishes(wait, [&] { Api().Cancel(context); }));
    EXPECT_EQ(wait.get(), SCARD_E_CANCELLED);

    EXPECT_NE(Api().IsValidContext(context), SCARD_S_SUCCESS);
    auto late = Start([&] { return Api().GetStatusChange(context, SCARD_INFINITE, &state, 1); });
    ASSERT_TRUE(Finishes(late, [] {}));
    EXPECT_NE(late.get(), SCARD_S_SUCCESS);
}

}  // namespace
