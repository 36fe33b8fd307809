// Power actions and protocol selection, over the simulator.
#include <algorithm>
#include <array>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

// Each action on a connected card, with the gate open or closed: the status, the calls made, the
// ATR returned and whether the connection is kept (power down also lets go of the context).
TEST(Power, ActionsOnAConnectedCard) {
    const struct {
        uint32_t action;
        bool gateOpen;
        uint32_t status;
        std::string steps;
        bool connected;
        std::string error;  // after "CZephExtensionPcSc::Power::"
    } rows[] = {
        {ZEPH_POWER_WARM_RESET, true, ZEPH_STATUS_SUCCESS, "Reconnect:excl:reset Status", true, ""},
        {ZEPH_POWER_COLD_RESET, true, ZEPH_STATUS_SUCCESS,
         "Disconnect:unpower Connect:excl Status Reconnect:excl:unpower Status", true, ""},
        {ZEPH_POWER_WARM_RESET, false, ZEPH_STATUS_NO_MEDIA, "Disconnect:reset", false,
         "ReConnect lieferte Fehler!"},
        {5, true, ZEPH_STATUS_NO_MEDIA, "", true, "Unbekannter Resettyp <5> wurde angefordernt"},
        {ZEPH_POWER_DOWN, false, ZEPH_STATUS_SUCCESS, "Cancel Disconnect:unpower ReleaseContext",
         false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.action);
        ConnectedHarness h;
        if (row.gateOpen) {
            h.access.OpenGate();
        }
        const auto [status, atr] = h.Power(row.action);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(h.Steps(), row.steps);
        EXPECT_EQ(h.access.Card() != 0, row.connected);
        EXPECT_EQ(h.simulator.Connections().size(), row.connected ? 1u : 0u);
        EXPECT_EQ(h.simulator.OpenContexts(), row.action == ZEPH_POWER_DOWN ? 0u : 1u);
        EXPECT_EQ(h.access.Context() != 0, row.action != ZEPH_POWER_DOWN);
        if (row.status == ZEPH_STATUS_SUCCESS && row.action != ZEPH_POWER_DOWN) {
            EXPECT_EQ(atr, kPredefinedAtr);
            EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
        }
        EXPECT_EQ(h.traces.TextsAt(TRACE_ERROR).size(), row.error.empty() ? 0u : 1u);
        EXPECT_TRUE(row.error.empty() || h.Traced(TRACE_ERROR, "Power", row.error));
    }
}

// Both resets read the ATR into a buffer too small for it: each read is offered the host's
// capacity, so nothing lands past it, the status is no media, and the card stays connected.
TEST(Power, AtrBufferTooSmallIsNeverWrittenPastOnEitherReset) {
    for (const uint32_t action : {ZEPH_POWER_COLD_RESET, ZEPH_POWER_WARM_RESET}) {
        SCOPED_TRACE(action);
        ConnectedHarness h;
        h.access.OpenGate();
        std::array<uint8_t, 40> memory;
        memory.fill(0xA5);
        uint32_t length = 4;
        EXPECT_EQ(h.extension->Power(action, memory.data() + 16, &length), ZEPH_STATUS_NO_MEDIA);
        // Not a byte outside the four given.
        EXPECT_EQ(std::count(memory.begin(), memory.begin() + 16, 0xA5) +
                      std::count(memory.begin() + 20, memory.end(), 0xA5),
                  36);
        EXPECT_EQ(length, kPredefinedAtr.size());  // the size the ATR needs
        EXPECT_NE(h.access.Card(), 0u);
    }
}

TEST(SetProtocol, OnlyMasksWithT1AreAccepted) {
    ConnectedHarness h;
    uint32_t active = 0;
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &active),
              ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    active = 0;
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0, &active), ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.Steps(), "");
    EXPECT_TRUE(
        h.Traced(TRACE_ERROR, "SetProtocol", "Gewünschtes Protokoll <T0> wird NICHT unterstützt!"));
}
