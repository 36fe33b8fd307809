// Context, access gate and the card connection over the simulator.
#include <future>
#include <thread>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

namespace {

std::vector<Call> CallsOf(const std::vector<sim::JournalEntry>& journal) {
    std::vector<Call> calls;
    for (const sim::JournalEntry& entry : journal) {
        calls.push_back(entry.call);
    }
    return calls;
}

}  // namespace

TEST(PcScContext, IsEstablishedOnceAndReleasedOnce) {
    ExtensionHarness h;
    EXPECT_TRUE(h.access.GetContext());
    const ScardContext first = h.access.Context();
    h.traces.Clear();
    EXPECT_TRUE(h.access.GetContext());
    EXPECT_EQ(h.access.Context(), first);
    EXPECT_EQ(h.simulator.CallCount(Call::EstablishContext), 1u);
    EXPECT_TRUE(h.traces.Lines().empty());

    EXPECT_TRUE(h.access.ReleaseContext(SCARD_LEAVE_CARD));
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    h.simulator.ClearJournal();
    EXPECT_TRUE(h.access.ReleaseContext(SCARD_LEAVE_CARD));
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(PcScContext, FailedEstablishmentIsTracedWithItsNumber) {
    ExtensionHarness h;
    h.simulator.InjectResults(Call::EstablishContext, {SCARD_E_NO_SERVICE});
    EXPECT_FALSE(h.access.GetContext());
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Helper_SCardGetContext::Fehler "
                         "<0x8010001d> bei SCardEstablishContext()!"));
}

TEST(PcScContext, ReleaseEndsAWaitOnTheContextFirst) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    const ScardContext context = h.access.Context();
    uint32_t waitResult = 0;
    std::thread waiter([&] {
        PcScReaderState state{};
        state.szReader = ExtensionHarness::kReader.c_str();
        state.dwCurrentState = h.simulator.ReaderState(ExtensionHarness::kReader);
        waitResult = h.simulator.GetStatusChange(context, SCARD_INFINITE, &state, 1);
    });
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.access.ReleaseContext(SCARD_LEAVE_CARD);
    waiter.join();
    EXPECT_EQ(waitResult, SCARD_E_CANCELLED);
}

TEST(AccessGate, ClosedGateRefusesAndOpenGateAllows) {
    ExtensionHarness h;
    EXPECT_FALSE(h.access.IsAccessAllowed());
    EXPECT_TRUE(h.Traced(TRACE_WARNING,
                         "CZephExtensionPcSc::Helper_IsWinScardAccessAllowed::Der "
                         "Zugriff auf die PC/SC Schnittstelle ist z.Z. verboten"));
    h.access.OpenGate();
    EXPECT_TRUE(h.access.IsAccessAllowed());
}

TEST(CardConnection, FreeCardConnectsExclusivelyInOneCall) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    h.simulator.ClearJournal();
    EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
    const std::vector<sim::JournalEntry> connects = h.simulator.Journal(Call::Connect);
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].shareMode, SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(connects[0].protocols, SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(h.access.Protocol(), SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.access.ReaderName(), ExtensionHarness::kReader);

    h.simulator.ClearJournal();
    EXPECT_FALSE(h.access.Connect(ExtensionHarness::kReader, false));
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(CardConnection, DirectConnectionNeedsNoCardAndStoresShareModeThree) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    ASSERT_TRUE(h.access.GetContext());
    EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, true));
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_DIRECT);
}

TEST(CardConnection, ReaderHeldExclusivelyElsewhereFailsWithBothAttempts) {
    ExtensionHarness h;
    ASSERT_EQ(h.simulator.HoldExclusively(ExtensionHarness::kReader), SCARD_S_SUCCESS);
    ASSERT_TRUE(h.access.GetContext());
    h.simulator.ClearJournal();
    EXPECT_FALSE(h.access.Connect(ExtensionHarness::kReader, false));

    const std::vector<sim::JournalEntry> connects = h.simulator.Journal(Call::Connect);
    ASSERT_EQ(connects.size(), 2u);
    EXPECT_EQ(connects[0].shareMode, SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(connects[1].shareMode, SCARD_SHARE_SHARED);
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_EQ(h.access.ShareMode(), 0u);
    EXPECT_TRUE(h.access.ReaderName().empty());
    EXPECT_EQ(h.TextsAt(TRACE_WARNING),
              std::vector<std::string>{"CZephExtensionPcSc::Helper_SCardConnect::<exclusive> mode "
                                       "ist nicht möglich - Connecting in <shared> mode..."});
    EXPECT_EQ(
        h.TextsAt(TRACE_ERROR),
        std::vector<std::string>{"CZephExtensionPcSc::Helper_SCardConnect::SCardConnect auf "
                                 "Leser <Sim Reader 0> lieferte Fehler <SHARING_VIOLATION>!"});
}

TEST(CardConnection, SharedOnlyCardBecomesExclusiveThroughTheReset) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    h.simulator.ClearJournal();
    h.simulator.InjectResults(Call::Connect, {SCARD_E_SHARING_VIOLATION});
    EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
    const std::vector<Call> expected = {Call::Connect,    Call::Connect, Call::Reconnect,
                                        Call::Disconnect, Call::Connect, Call::GetStatusChange};
    EXPECT_EQ(CallsOf(h.simulator.Journal()), expected);
    const std::vector<sim::JournalEntry> reconnects = h.simulator.Journal(Call::Reconnect);
    EXPECT_EQ(reconnects[0].shareMode, SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(reconnects[0].disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
}

TEST(CardConnection, ConnectionNotReportedExclusiveEndsInASharingViolation) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    h.simulator.InjectResults(Call::Connect, {SCARD_E_SHARING_VIOLATION});
    h.pcsc.onStatusChange = [](PcScReaderState* states, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            states[i].dwEventState &= ~SCARD_STATE_EXCLUSIVE;
        }
    };
    EXPECT_FALSE(h.access.Connect(ExtensionHarness::kReader, false));
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_TRUE(h.simulator.Connections().empty());
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Helper_SCardConnect::SCardConnect auf "
                         "Leser <Sim Reader 0> ist nicht exclusive!"));
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Helper_SCardConnect::SCardConnect auf "
                         "Leser <Sim Reader 0> lieferte Fehler <SHARING_VIOLATION>!"));
}

TEST(CardConnection, ReconnectionNeedsTheOpenGateAndMapsUnknownInitialisations) {
    ExtensionHarness h;
    h.ConnectCard();
    EXPECT_FALSE(h.access.Reconnect(SCARD_RESET_CARD, false));
    EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 0u);
    EXPECT_NE(h.access.Card(), 0u);

    h.access.OpenGate();
    EXPECT_TRUE(h.access.Reconnect(7, false));
    const std::vector<sim::JournalEntry> reconnects = h.simulator.Journal(Call::Reconnect);
    ASSERT_EQ(reconnects.size(), 1u);
    EXPECT_EQ(reconnects[0].disposition, SCARD_LEAVE_CARD);
    EXPECT_EQ(reconnects[0].shareMode, SCARD_SHARE_EXCLUSIVE);
}

TEST(CardConnection, TryOnlyReconnectionFailsWhileAnotherThreadHoldsTheLock) {
    ExtensionHarness h;
    h.ConnectCard();
    h.access.OpenGate();
    std::promise<void> locked;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard<std::recursive_mutex> lock(h.access.Lock());
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();
    EXPECT_FALSE(h.access.Reconnect(SCARD_LEAVE_CARD, true));
    release.set_value();
    holder.join();
    EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 0u);
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Helper_SCardReConnect::Der Sicherheitsbereich konnte "
                         "nicht betreten werden. SCardReConnect wurde nicht aufgerufen!"));
}

TEST(CardConnection, DisconnectionTracesAndResetsTheCounters) {
    ExtensionHarness h;
    h.ConnectCard();
    const ZephSendHeader header{SCARD_PROTOCOL_T1, 8};
    const uint8_t select[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    uint8_t response[16];
    for (int i = 0; i < 5; ++i) {
        uint64_t length = sizeof(response);
        ASSERT_EQ(h.extension->Transmit(&header, select, sizeof(select), response, &length), 0u);
    }
    h.traces.Clear();
    EXPECT_TRUE(h.access.Disconnect(9));
    EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.TextsAt(TRACE_DETAIL),
              (std::vector<std::string>{
                  "CZephExtensionPcSc::Helper_SCardDisConnect::Zugriffszählerstand Control <0> "
                  "Transmit <5>",
                  "CZephExtensionPcSc::Helper_SCardDisConnect::Zugriffszähler wurden "
                  "zurückgesetzt"}));
    EXPECT_EQ(h.access.TransmitCount(), 0u);
    EXPECT_EQ(h.access.Card(), 0u);
}

// A connection step that fails after PC/SC opened a handle closes that handle before the object
// forgets it: otherwise the object holds the card against its own next connection.
TEST(CardConnection, FailedStepsLeaveNoConnectionBehind) {
    struct Case {
        const char* name;
        Call failing;
        bool reconnection;  // a reconnection of a connected card, else the exclusive sequence
    };
    const Case cases[] = {
        {"reconnection fails", Call::Reconnect, true},
        {"reset after the shared connection fails", Call::Reconnect, false},
        {"state query after the exclusive connection fails", Call::GetStatusChange, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExtensionHarness h;
        if (c.reconnection) {
            h.ConnectCard();
            h.access.OpenGate();
            h.simulator.InjectResults(c.failing, {SCARD_F_COMM_ERROR});
            EXPECT_FALSE(h.access.Reconnect(SCARD_RESET_CARD, false));
        } else {
            ASSERT_TRUE(h.access.GetContext());
            h.simulator.InjectResults(Call::Connect, {SCARD_E_SHARING_VIOLATION});
            h.simulator.InjectResults(c.failing, {SCARD_F_COMM_ERROR});
            EXPECT_FALSE(h.access.Connect(ExtensionHarness::kReader, false));
        }
        EXPECT_EQ(h.access.Card(), 0u);
        EXPECT_TRUE(h.simulator.Connections().empty());
        EXPECT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
    }
}
