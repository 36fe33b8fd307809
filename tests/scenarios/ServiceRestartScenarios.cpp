// The PC/SC service stops and starts again under the extension object, on every stack: the call
// that was waiting ends with the status it has for a failed service, nothing hangs, and the
// host's next IsPresent calls on the same object find the card again.
#include <chrono>

#include "ExtensionHarness.h"
#include "ScenarioFixture.h"
#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The host's object over the scenario's stack. On a stack whose PC/SC cannot locate cards by ATR
// (Wine 10) the host turns the ATR filter off, as zeph_host --no-atr-filter does: the filter would
// refuse every card there.
struct HostObject : ExtensionObject {
    explicit HostObject(ScenarioStack& stack) : ExtensionObject(stack.Api(), PlatformSleeper()) {
        extension->m_bAtrFilter = stack.Lacks("LocateCardsByATR").empty() ? 1 : 0;
    }
    CZephExtensionPcSc* operator->() { return extension; }

    // The host calls IsPresent every 100 ms until it connects a card; false at the deadline.
    bool ConnectsWithin(std::chrono::milliseconds bound) {
        const auto deadline = Clock::now() + bound;
        return WaitUntil([this] { return IsPresent() == ZEPH_STATUS_SUCCESS; }, bound, 100ms) &&
               Clock::now() <= deadline;
    }
};

// Within 2 s of the card's presence after the service is back.
constexpr auto kReconnectBound = 2s;

}  // namespace

TEST_P(PcScScenario, ServiceRestartWhileIsPresentWaitsTheNextCallsFindTheCardAgain) {
    HostObject object(Stack());
    auto present = Start([&] { return object.IsPresent(); });
    ASSERT_TRUE(WaitUntil([&] { return object.access.Context() != 0; }, 10s, 1ms));
    ASSERT_TRUE(AwaitWaits(object.access.Context(), 1));
    Stack().StopService();
    ASSERT_TRUE(Finishes(present, [&] { object->Cancel(); }));
    EXPECT_EQ(present.get(), ZEPH_STATUS_INVALID_DEVICE_STATE);

    Stack().StartService();
    Stack().InsertCard(kPredefinedAtr);
    EXPECT_TRUE(object.ConnectsWithin(kReconnectBound));
}

// The card connected, the service goes while IsAbsent waits: the wait ends, IsPresent fails while
// the service is gone, and once it is back the card is connected and answers again.
TEST_P(PcScScenario, ServiceRestartWhileIsAbsentWaitsItEndsAndTheCardComesBack) {
    Stack().InsertCard(kPredefinedAtr);
    HostObject object(Stack());
    ASSERT_EQ(object.IsPresent(), ZEPH_STATUS_SUCCESS);
    auto absent = Start([&] { return object->IsAbsent(); });
    ASSERT_TRUE(AwaitWaits(object.access.Context(), 1));
    Stack().StopService();
    ASSERT_TRUE(Finishes(absent, [&] { object->Cancel(); }));
    EXPECT_EQ(absent.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(object.IsPresent(), ZEPH_STATUS_INVALID_DEVICE_STATE);  // the service is gone

    Stack().StartService();
    ASSERT_TRUE(object.ConnectsWithin(kReconnectBound));
    const ZephSendHeader header{SCARD_PROTOCOL_T1, 8};
    uint8_t response[16];
    uint64_t length = sizeof(response);
    EXPECT_EQ(object->Transmit(&header, kSelectMasterFile.data(), kSelectMasterFile.size(),
                               response, &length),
              ZEPH_STATUS_SUCCESS);
}
