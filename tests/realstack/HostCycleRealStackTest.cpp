// The host's cycle on the real module and the real stack: IsPresent waiting for the insertion,
// the exchange while IsAbsent waits on a second thread, resets, the removal, Cancel and power
// down. The stack's own pcsc-lite context plays another application on the same reader.
//
// A card that fails in the middle of the host's cycle, on the real module and the real stack: the
// exchange returns within a bound with the failure PC/SC reports, the removal wait ends, nothing
// stays connected, and the next IsPresent takes a new card.
#include <chrono>

#include "PcscHandles.h"
#include "StackFixture.h"
#include "TestCards.h"

namespace realstack {
namespace {

const Bytes kSelectFile2F01 = {0x00, 0xA4, 0x02, 0x0C, 0x02, 0x2F, 0x01};
const Bytes kReadBinary5 = {0x00, 0xB0, 0x00, 0x00, 0x05};
const Bytes kHelloRead = {'H', 'e', 'l', 'l', 'o', 0x90, 0x00};
const VirtualCardOptions kHelloCard{"", {"2F01=48656C6C6F"}, ""};
constexpr uint32_t kCardAbsent = 1;

using HostCycleRealStackTest = StackFixture;

// A reset while IsAbsent waits (which lets the reset reconnect), into the host's ATR buffer.
struct ResetCase {
    const char* name;
    uint32_t action;
    uint32_t capacity;                // of the ATR buffer
    uint32_t status;                  // Power's answer
    std::vector<const char*> events;  // the card's, in order
};

const std::vector<const char*> kPowerCycledTwice = {"power-off", "power-on", "power-off",
                                                    "power-on"};

class HostResetRealStackTest : public HostCycleRealStackTest,
                               public ::testing::WithParamInterface<ResetCase> {};

TEST_P(HostResetRealStackTest, ResetKeepsTheCardExclusivelyAndReturnsItsAtr) {
    const ResetCase& reset = GetParam();
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card, kHelloCard).status, ZEPH_STATUS_SUCCESS);
    SyncCardEvents(*card);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    const Answer answer = Power(reset.action, reset.capacity);  // nothing outside the buffer
    ASSERT_EQ(answer.status, reset.status);
    if (reset.status != ZEPH_STATUS_SUCCESS) {
        return;
    }
    EXPECT_EQ(answer.data, kPredefinedAtr);
    for (const char* event : reset.events) {
        EXPECT_TRUE(card->WaitForEvent(event)) << "no " << event;
    }
    EXPECT_EQ(ConnectElsewhere(), SCARD_E_SHARING_VIOLATION) << "not held exclusively";
    EXPECT_EQ(Transmit(kSelectFile2F01).data, kStatusOk);
    EXPECT_EQ(Transmit(kReadBinary5).data, kHelloRead);
    EXPECT_FALSE(absent->Returned()) << "IsAbsent took the reset for a removal";
}

// A cold reset powers the card off by the disconnection, on by the fresh connection, then once
// more by the reconnection that unpowers it. A warm reset fills a buffer of exactly the ATR's 24
// bytes; an ATR that does not fit four bytes is no media.
INSTANTIATE_TEST_SUITE_P(
    Resets, HostResetRealStackTest,
    ::testing::Values(
        ResetCase{"Warm", ZEPH_POWER_WARM_RESET, 24, ZEPH_STATUS_SUCCESS, {"reset"}},
        ResetCase{"Cold", ZEPH_POWER_COLD_RESET, 36, ZEPH_STATUS_SUCCESS, kPowerCycledTwice},
        ResetCase{"WarmIntoFourBytes", ZEPH_POWER_WARM_RESET, 4, ZEPH_STATUS_NO_MEDIA, {}},
        ResetCase{"ColdIntoFourBytes", ZEPH_POWER_COLD_RESET, 4, ZEPH_STATUS_NO_MEDIA, {}}),
    [](const auto& test) { return std::string(test.param.name); });

// The host starts IsAbsent on its second thread while its first thread resets the card: the first
// cold reset is already under way (card powered down) when IsAbsent begins, the later ones come
// while it waits. Each reset needs the gate IsAbsent opens, and none may look like a removal;
// the removal ends IsAbsent, and the next cycle connects the card again.
TEST_F(HostCycleRealStackTest, ColdResetsAroundTheStartOfIsAbsentKeepTheCardUntilItIsRemoved) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    SyncCardEvents(*card);

    BackgroundCall<Answer> first([this] { return Power(ZEPH_POWER_COLD_RESET); },
                                 [this] { Object().Cancel(); });
    ASSERT_TRUE(card->WaitForEvent("power-off")) << "the cold reset did not power the card down";
    auto absent = StartIsAbsent();
    const std::optional<Answer> reset = first.Get(kCallTimeout);
    ASSERT_TRUE(reset) << "the first cold reset did not return";
    EXPECT_EQ(reset->status, ZEPH_STATUS_SUCCESS) << "the first cold reset lost the card";
    EXPECT_EQ(reset->data, kPredefinedAtr);
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    for (int round = 1; round <= 3; ++round) {
        const Answer again = Power(ZEPH_POWER_COLD_RESET);
        EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS) << "cold reset " << round;
        EXPECT_EQ(again.data, kPredefinedAtr) << "cold reset " << round;
        EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk) << "after cold reset " << round;
    }
    EXPECT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent stopped waiting";
    EXPECT_FALSE(absent->Returned()) << "IsAbsent took a cold reset for a removal";
    ASSERT_TRUE(card->Remove());
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after the removal";
    EXPECT_EQ(CardState(), kCardAbsent);
    EXPECT_NE(Transmit(kSelectMasterFile).status, ZEPH_STATUS_SUCCESS);

    const PresentAnswer again = ConnectCard(card);  // the host's next cycle
    EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(again.atr, kPredefinedAtr);
    EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk);
}

TEST_F(HostCycleRealStackTest, CancelEndsAWaitingIsAbsentAndLetsTheCardGo) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    Object().Cancel();
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after Cancel";
    EXPECT_EQ(ConnectElsewhere(), SCARD_S_SUCCESS) << "the card stayed held after Cancel";
    EXPECT_EQ(CardState(), kCardAbsent) << "the object still claims a connection";
}

TEST_F(HostCycleRealStackTest, PowerDownLetsTheCardGo) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    ASSERT_EQ(ConnectElsewhere(), SCARD_E_SHARING_VIOLATION);
    SyncCardEvents(*card);  // pcscd powers cards off and on by itself at insertion

    EXPECT_EQ(Power(ZEPH_POWER_DOWN).status, ZEPH_STATUS_SUCCESS);
    EXPECT_TRUE(card->WaitForEvent("power-off")) << "the card was not powered down";
    EXPECT_EQ(ConnectElsewhere(), SCARD_S_SUCCESS);
    EXPECT_EQ(CardState(), kCardAbsent) << "the object still claims a connection";
    EXPECT_EQ(Transmit(kSelectMasterFile).status, ZEPH_STATUS_NO_MEDIA);
}

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
