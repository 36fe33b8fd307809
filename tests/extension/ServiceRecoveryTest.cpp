// The PC/SC service stops when the last reader is removed and starts when one is plugged in (as
// the Windows service does), over the simulator: the object lets go of its dead context, does not
// spin while the service is gone, and finds the card again once it is back.
#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

TEST(ServiceRecovery, LastReaderUnpluggedAndPluggedBackFindsTheCardOnTheSameObject) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.simulator.SetStopsWithLastReader(true);
    h.access.SetServiceRetryMs(0);
    auto present = h.AsyncIsPresent();
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.simulator.RemoveReader(ExtensionHarness::kReader);
    EXPECT_EQ(present.get(), ZEPH_STATUS_INVALID_DEVICE_STATE);
    EXPECT_TRUE(h.Traced(TRACE_WARNING, "IsPresent",
                         "PC/SC-Kontext ist nicht mehr gültig (Fehler <SERVICE_STOPPED>) und wird "
                         "erneuert"));

    h.simulator.AddReader(ExtensionHarness::kReader);
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.simulator.OpenContexts(), 1u);
    EXPECT_EQ(h.simulator.Connections().size(), 1u);
}

// While the service is gone, IsPresent waits out the retry interval before it answers, so a host
// calling it in a tight loop does not make it spin: with a long interval, the one failed
// establishment is followed by that wait, which a Cancel (given here beforehand) ends.
TEST(ServiceRecovery, WhileTheServiceIsGoneIsPresentWaitsUntilCancelled) {
    ExtensionHarness h;
    h.access.SetServiceRetryMs(600000);
    h.simulator.StopService();
    h.extension->Cancel();
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_PENDING);
    EXPECT_EQ(h.simulator.CallCount(Call::EstablishContext), 1u);
}
