// The PC/SC service stops when the last reader is removed and starts when one is plugged in (as
// the Windows service does), over the simulator: the object lets go of its dead context, does not
// spin while the service is gone, and finds the card again once it is back.
#include <chrono>
#include <future>
#include <thread>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;
using namespace std::chrono_literals;

namespace {

uint32_t IsPresent(ExtensionHarness& h) {
    return h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(ServiceRecovery, LastReaderUnpluggedAndPluggedBackFindsTheCardOnTheSameObject) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.simulator.SetStopsWithLastReader(true);
    h.access.SetServiceRetryMs(0);
    auto present = std::async(std::launch::async, [&h] { return IsPresent(h); });
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    const ScardContext lost = h.access.Context();
    h.simulator.RemoveReader(ExtensionHarness::kReader);
    EXPECT_EQ(present.get(), ZEPH_STATUS_INVALID_DEVICE_STATE);
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_TRUE(h.Traced(TRACE_WARNING,
                         "CZephExtensionPcSc::IsPresent::PC/SC-Kontext ist nicht mehr gültig "
                         "(Fehler <SERVICE_STOPPED>) und wird erneuert"));
    EXPECT_EQ(IsPresent(h), ZEPH_STATUS_INVALID_DEVICE_STATE);  // no service, no context

    h.simulator.AddReader(ExtensionHarness::kReader);
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(IsPresent(h), ZEPH_STATUS_SUCCESS);
    EXPECT_NE(h.access.Context(), lost);
    EXPECT_EQ(h.simulator.OpenContexts(), 1u);
    EXPECT_EQ(h.simulator.Connections().size(), 1u);
}

// A host calling IsPresent in a tight loop while the service is gone: each call waits the retry
// interval before it answers, so establishments come at that rate, and a Cancel ends the wait.
TEST(ServiceRecovery, WhileTheServiceIsGoneIsPresentRetriesAtABoundedRate) {
    ExtensionHarness h;
    h.access.SetServiceRetryMs(50);
    h.simulator.StopService();
    const auto end = std::chrono::steady_clock::now() + 500ms;
    int calls = 0;
    while (std::chrono::steady_clock::now() < end) {
        EXPECT_EQ(IsPresent(h), ZEPH_STATUS_INVALID_DEVICE_STATE);
        ++calls;
    }
    EXPECT_LE(calls, 11);
    EXPECT_EQ(h.simulator.CallCount(Call::EstablishContext), static_cast<size_t>(calls));

    h.access.SetServiceRetryMs(60000);
    auto present = std::async(std::launch::async, [&h] { return IsPresent(h); });
    std::this_thread::sleep_for(20ms);
    h.extension->Cancel();
    EXPECT_EQ(present.get(), ZEPH_STATUS_PENDING);
}
