// A card that fails in the middle of the host's cycle, on the real module and the real stack: the
// exchange returns within a bound with the failure PC/SC reports, the removal wait ends, nothing
// stays connected, and the next IsPresent takes a new card.
#include <chrono>

#include "PcscHandles.h"
#include "StackFixture.h"
#include "TestCards.h"

namespace realstack {
namespace {

// The module retries a failed exchange (300 ms, then 200 and 100 ms): a card that vanished answers
// within about 0.5 s. The bound leaves room for slow sanitizer builds.
constexpr std::chrono::milliseconds kTransmitBound{3000};
// pcscd and vpcd wait for a silent card without a deadline (measured: more than 60 s), so the
// exchange ends only when the card is pulled; the test pulls it after this time.
constexpr std::chrono::milliseconds kSilence{1000};
constexpr uint32_t kRemovedCard = 0x80100069;  // SCARD_W_REMOVED_CARD, passed on as it is

struct FaultCase {
    const char* name;
    VirtualCardOptions card;
    const char* event;  // the card's event for the failed command
};

class CardFaultRealStackTest : public StackFixture,
                               public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CardFaultRealStackTest, TransmitEndsTheRemovalWaitEndsAndTheNextCardIsTaken) {
    const FaultCase& fault = GetParam();
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card, fault.card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    BackgroundCall<Answer> transmit([this] { return Transmit(kSelectMasterFile); },
                                    [card] { card->Remove(); });
    EXPECT_TRUE(card->WaitForEvent(fault.event));
    if (fault.card.silent) {
        transmit.Get(kSilence);
        ASSERT_TRUE(card->Remove());
    }
    const std::optional<Answer> answer = transmit.Get(kTransmitBound);
    ASSERT_TRUE(answer) << "Transmit did not return";
    EXPECT_EQ(answer->status, kRemovedCard);
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return";
    EXPECT_EQ(CardState(), 1u);  // SCARD_ABSENT
    ASSERT_TRUE(card->Write("quit\n"));
    ASSERT_TRUE(card->WaitForExit(VirtualCardProcess::kEventTimeout));

    Stack().InsertCard();  // a card of the ordinary kind
    {
        const PcscCard other(Stack().Context(), Stack().ReaderName(), SCARD_SHARE_EXCLUSIVE);
        EXPECT_EQ(other.Status(), SCARD_S_SUCCESS) << "the failed card is still held";
    }
    const std::optional<PresentAnswer> present = StartIsPresent()->Get(kCallTimeout);
    ASSERT_TRUE(present) << "IsPresent did not take the new card";
    EXPECT_EQ(present->status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk);
}

// The card vanishes on its first command; or it never answers, until it is pulled.
INSTANTIATE_TEST_SUITE_P(
    Faults, CardFaultRealStackTest,
    ::testing::Values(FaultCase{"VanishesMidApdu", {"", {}, "", 1, false, 0}, "dropped"},
                      FaultCase{"NeverAnswers", {"", {}, "", 0, true, 0}, "unanswered"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace realstack
