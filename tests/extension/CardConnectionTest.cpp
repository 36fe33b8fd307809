// Context, access gate and the card connection over the simulator.
#include <future>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

TEST(PcScContext, IsEstablishedOnceAndReleasedOnce) {
    ExtensionHarness h;
    EXPECT_TRUE(h.access.GetContext());
    EXPECT_TRUE(h.access.GetContext());
    EXPECT_TRUE(h.access.ReleaseContext(SCARD_LEAVE_CARD));
    EXPECT_TRUE(h.access.ReleaseContext(SCARD_LEAVE_CARD));
    EXPECT_EQ(h.Steps(), "EstablishContext Cancel ReleaseContext");
    EXPECT_EQ(h.access.Context(), 0u);
    h.simulator.InjectResults(Call::EstablishContext, {SCARD_E_NO_SERVICE});
    EXPECT_FALSE(h.access.GetContext());
    EXPECT_TRUE(h.Traced(TRACE_ERROR, "Helper_SCardGetContext",
                         "Fehler <0x8010001d> bei SCardEstablishContext()!"));
}

// Each way a connection goes, by what the reader and PC/SC do: the calls made, the connection
// kept, and the warnings and errors traced (exactly).
TEST(CardConnection, OutcomesByReaderSituation) {
    const std::string kConnect = "CZephExtensionPcSc::Helper_SCardConnect::";
    const std::string kShared =
        kConnect + "<exclusive> mode ist nicht möglich - Connecting in <shared> mode...";
    const std::string kViolation =
        kConnect + "SCardConnect auf Leser <Sim Reader 0> lieferte Fehler <SHARING_VIOLATION>!";
    const std::string kReset = kConnect + "ReConnecting in <exclusive> mode mit Reset...";
    const std::string kToExclusive =
        "Connect:excl Connect:shared Reconnect:excl:unpower "
        "Disconnect:leave Connect:excl GetStatusChange";
    enum Situation { kFree, kNoCard, kHeldElsewhere, kSharedOnly, kNeverExclusive };
    const struct {
        Situation situation;
        bool direct;
        uint32_t shareMode;  // 0: no connection is kept
        std::string steps;
        std::vector<std::string> warnings;
        std::vector<std::string> errors;
    } rows[] = {
        {kFree, false, SCARD_SHARE_EXCLUSIVE, "Connect:excl", {}, {}},
        {kNoCard, true, SCARD_SHARE_DIRECT, "Connect:direct", {}, {}},
        {kHeldElsewhere, false, 0, "Connect:excl Connect:shared", {kShared}, {kViolation}},
        {kSharedOnly, false, SCARD_SHARE_EXCLUSIVE, kToExclusive, {kShared, kReset}, {}},
        {kNeverExclusive,
         false,
         0,
         kToExclusive + " Disconnect:leave",
         {kShared, kReset},
         {kConnect + "SCardConnect auf Leser <Sim Reader 0> ist nicht exclusive!", kViolation}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        ExtensionHarness h;
        if (row.situation == kNoCard) {
            h.simulator.RemoveCard(ExtensionHarness::kReader);
        } else if (row.situation == kHeldElsewhere) {
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
        EXPECT_EQ(h.access.Connect(ExtensionHarness::kReader, row.direct), row.shareMode != 0);
        EXPECT_EQ(h.Steps(), row.steps);
        EXPECT_EQ(h.access.ShareMode(), row.shareMode);
        EXPECT_EQ(h.simulator.Connections().size(), row.shareMode != 0 ? 1u : 0u);
        EXPECT_EQ(h.access.ReaderName(), row.shareMode != 0 ? ExtensionHarness::kReader : u"");
        EXPECT_EQ(h.traces.TextsAt(TRACE_WARNING), Latin1s(row.warnings));
        EXPECT_EQ(h.traces.TextsAt(TRACE_ERROR), Latin1s(row.errors));
    }
}

TEST(CardConnection, ReconnectionNeedsTheOpenGateAndMapsUnknownInitialisations) {
    ConnectedHarness h;
    EXPECT_FALSE(h.access.Reconnect(SCARD_RESET_CARD, false));
    EXPECT_EQ(h.Steps(), "");
    EXPECT_NE(h.access.Card(), 0u);
    EXPECT_EQ(h.traces.TextsAt(TRACE_WARNING),
              Latin1s({"CZephExtensionPcSc::Helper_IsWinScardAccessAllowed::Der Zugriff auf die "
                       "PC/SC Schnittstelle ist z.Z. verboten"}));
    h.access.OpenGate();
    EXPECT_TRUE(h.access.Reconnect(7, false));
    EXPECT_EQ(h.Steps(), "Reconnect:excl:leave");
}

TEST(CardConnection, TryOnlyReconnectionFailsWhileAnotherThreadHoldsTheLock) {
    ConnectedHarness h;
    h.access.OpenGate();
    std::lock_guard<std::recursive_mutex> held(h.access.Lock());
    EXPECT_FALSE(std::async(std::launch::async, [&h] {
                     return h.access.Reconnect(SCARD_LEAVE_CARD, true);
                 }).get());
    EXPECT_EQ(h.Steps(), "");
    EXPECT_TRUE(h.Traced(TRACE_ERROR, "Helper_SCardReConnect",
                         "Der Sicherheitsbereich konnte nicht betreten werden. SCardReConnect "
                         "wurde nicht aufgerufen!"));
}

TEST(CardConnection, DisconnectionTracesAndResetsTheCounters) {
    ConnectedHarness h;
    ASSERT_EQ(h.TransmitSelect().first, ZEPH_STATUS_SUCCESS);
    h.Forget();
    EXPECT_TRUE(h.access.Disconnect(9));
    EXPECT_EQ(h.Steps(), "Disconnect:unpower");
    EXPECT_EQ(h.traces.TextsAt(TRACE_DETAIL),
              Latin1s({"CZephExtensionPcSc::Helper_SCardDisConnect::Zugriffszählerstand Control "
                       "<0> Transmit <1>",
                       "CZephExtensionPcSc::Helper_SCardDisConnect::Zugriffszähler wurden "
                       "zurückgesetzt"}));
    EXPECT_EQ(h.access.TransmitCount(), 0u);
    EXPECT_EQ(h.access.Card(), 0u);
}

// A connection step that fails after PC/SC opened a handle closes that handle before the object
// forgets it: otherwise the object holds the card against its own next connection.
TEST(CardConnection, FailedStepsLeaveNoConnectionBehind) {
    const std::pair<const char*, Call> rows[] = {
        {"reconnection fails", Call::Reconnect},
        {"reset after the shared connection fails", Call::Reconnect},
        {"state query after the exclusive connection fails", Call::GetStatusChange},
    };
    bool reconnection = true;  // the first row reconnects a connected card
    for (const auto& [name, failing] : rows) {
        SCOPED_TRACE(name);
        ExtensionHarness h;
        if (reconnection) {
            h.ConnectCard();
            h.access.OpenGate();
            h.simulator.InjectResults(failing, {SCARD_F_COMM_ERROR});
            EXPECT_FALSE(h.access.Reconnect(SCARD_RESET_CARD, false));
        } else {
            ASSERT_TRUE(h.access.GetContext());
            h.simulator.InjectResults(Call::Connect, {SCARD_E_SHARING_VIOLATION});
            h.simulator.InjectResults(failing, {SCARD_F_COMM_ERROR});
            EXPECT_FALSE(h.access.Connect(ExtensionHarness::kReader, false));
        }
        reconnection = false;
        EXPECT_EQ(h.access.Card(), 0u);
        EXPECT_TRUE(h.simulator.Connections().empty());
        EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
    }
}
