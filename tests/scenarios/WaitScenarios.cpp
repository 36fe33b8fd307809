// Waits on one context from several threads: card calls alongside a wait, Cancel, Release.
#include "ScenarioFixture.h"

namespace {

TEST_P(PcScScenario, CardCallReturnsWhileAnotherThreadWaitsOnTheSameContext) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(Connect(Context(), &card), SCARD_S_SUCCESS);
    PcScReaderState state = Known(Context());
    auto wait = Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); });
    ASSERT_TRUE(AwaitWaits(Context(), 1));

    auto transmit = Start([&] { return Select(card); });
    // A card call stuck behind the wait holds pcsc-lite's process-wide lock, which Cancel
    // needs as well; taking the card out ends the wait without pcsc-lite's client.
    EXPECT_TRUE(Finishes(transmit, [&] { Stack().RemoveCard(); }));
    EXPECT_EQ(transmit.get(), SCARD_S_SUCCESS);

    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);
    ASSERT_TRUE(Finishes(wait, [&] { Api().ReleaseContext(Context()); }));
    EXPECT_EQ(wait.get(), SCARD_E_CANCELLED);
}

// A Cancel ends every wait open on the context, and no wait that starts later.
TEST_P(PcScScenario, CancelFromAnotherThreadEndsEveryInfiniteWaitButNoLaterOne) {
    PcScReaderState states[3] = {Known(Context()), Known(Context()), Known(Context())};
    std::future<uint32_t> waits[3];
    for (int i = 0; i < 3; ++i) {
        waits[i] = Start(
            [&, i] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &states[i], 1); });
    }
    ASSERT_TRUE(AwaitWaits(Context(), 3));
    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);
    for (auto& wait : waits) {
        ASSERT_TRUE(Finishes(wait, [&] { Api().ReleaseContext(Context()); }));
        EXPECT_EQ(wait.get(), SCARD_E_CANCELLED);
    }
    EXPECT_EQ(Api().IsValidContext(Context()), SCARD_S_SUCCESS);
    EXPECT_EQ(Api().Cancel(Context()), SCARD_S_SUCCESS);  // with no wait open
    EXPECT_EQ(Api().GetStatusChange(Context(), 100, &states[0], 1), SCARD_E_TIMEOUT);
}

TEST_P(PcScScenario, ReleaseEndsTheWaitAndLaterWaitsFailAtOnce) {
    const ScardContext context = NewContext();
    PcScReaderState state = Known(context);
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
