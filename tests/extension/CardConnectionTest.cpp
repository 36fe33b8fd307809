// The card connection over the simulator: how each reader situation is connected, and a failed
// reconnection.
#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

// Each way a connection goes, by what the reader and PC/SC do: the calls made, the connection
// kept, and the errors traced.
TEST(CardConnection, OutcomesByReaderSituation) {
    const std::string kViolation =
        "SCardConnect auf Leser <Sim Reader 0> lieferte Fehler <SHARING_VIOLATION>!";
    const std::string kToExclusive =
        "Connect:excl Connect:shared Reconnect:excl:unpower "
        "Disconnect:leave Connect:excl GetStatusChange";
    enum Situation { kFree, kHeldElsewhere, kSharedOnly, kNeverExclusive };
    const struct {
        Situation situation;
        uint32_t shareMode;  // 0: no connection is kept
        std::string steps;
        size_t errors;
    } rows[] = {
        {kFree, SCARD_SHARE_EXCLUSIVE, "Connect:excl", 0},
        {kHeldElsewhere, 0, "Connect:excl Connect:shared", 1},
        {kSharedOnly, SCARD_SHARE_EXCLUSIVE, kToExclusive, 0},
        {kNeverExclusive, 0, kToExclusive + " Disconnect:leave", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        ExtensionHarness h;
        if (row.situation == kHeldElsewhere) {
            h.simulator.HoldExclusively(ExtensionHarness::kReader);
        } else if (row.situation >= kSharedOnly) {
            h.simulator.InjectResults(Call::Connect, {SCARD_E_SHARING_VIOLATION});
        }
        if (row.situation == kNeverExclusive) {
            h.pcsc.onStatusChange = [](PcScReaderState* states, uint32_t count) {
                for (uint32_t i = 0; i < count; ++i) {
                    states[i].dwEventState &= ~SCARD_STATE_EXCLUSIVE;
                }
            };
        }
        ASSERT_TRUE(h.access.GetContext());
        h.Forget();
        EXPECT_EQ(h.access.Connect(ExtensionHarness::kReader, false), row.shareMode != 0);
        EXPECT_EQ(h.Steps(), row.steps);
        EXPECT_EQ(h.access.ShareMode(), row.shareMode);
        EXPECT_EQ(h.simulator.OpenConnections(), row.shareMode != 0 ? 1u : 0u);
        EXPECT_EQ(h.access.ReaderName(), row.shareMode != 0 ? ExtensionHarness::kReader : u"");
        EXPECT_EQ(h.traces.TextsAt(TRACE_ERROR).size(), row.errors);
        EXPECT_TRUE(row.errors == 0 || h.Traced(TRACE_ERROR, "Helper_SCardConnect", kViolation));
    }
}

// A reconnection that fails closes the handle PC/SC still holds before the object forgets it:
// otherwise the object holds the card against its own next connection. (A failed step of a new
// connection closes its handle as well: the reader never reported exclusive above.)
TEST(CardConnection, FailedReconnectionLeavesNoConnectionBehind) {
    ConnectedHarness h;
    h.access.OpenGate();
    h.simulator.InjectResults(Call::Reconnect, {SCARD_F_COMM_ERROR});
    EXPECT_FALSE(h.access.Reconnect(SCARD_RESET_CARD, false));
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_EQ(h.simulator.OpenConnections(), 0u);
    EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
}
