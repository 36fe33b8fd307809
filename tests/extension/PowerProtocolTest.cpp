// Power actions and protocol selection, over the simulator.
#include <algorithm>
#include <array>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

// Each action on a connected card, with the gate open or closed: the status, the calls made, the
// ATR returned and whether the connection is kept (power down also lets go of the context).
TEST(Power, ActionsOnAConnectedCard) {
    const struct {
        uint32_t action;
        bool gateOpen;
        uint32_t status;
        std::string steps;
        bool connected;
        std::string error;
    } rows[] = {
        {ZEPH_POWER_WARM_RESET, true, ZEPH_STATUS_SUCCESS, "Reconnect:excl:reset Status", true, ""},
        {ZEPH_POWER_COLD_RESET, true, ZEPH_STATUS_SUCCESS,
         "Disconnect:unpower Connect:excl Status Reconnect:excl:unpower Status", true, ""},
        {ZEPH_POWER_WARM_RESET, false, ZEPH_STATUS_NO_MEDIA, "Disconnect:reset", false,
         "CZephExtensionPcSc::Power::ReConnect lieferte Fehler!"},
        {5, true, ZEPH_STATUS_NO_MEDIA, "", true,
         "CZephExtensionPcSc::Power::Unbekannter Resettyp <5> wurde angefordernt"},
        {ZEPH_POWER_DOWN, false, ZEPH_STATUS_SUCCESS, "Cancel Disconnect:unpower ReleaseContext",
         false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.action);
        ConnectedHarness h;
        if (row.gateOpen) {
            h.access.OpenGate();
        }
        std::vector<uint8_t> atr(36);
        uint32_t length = 36;
        EXPECT_EQ(h.extension->Power(row.action, atr.data(), &length), row.status);
        EXPECT_EQ(h.Steps(), row.steps);
        EXPECT_EQ(h.access.Card() != 0, row.connected);
        EXPECT_EQ(h.simulator.Connections().size(), row.connected ? 1u : 0u);
        EXPECT_EQ(h.simulator.OpenContexts(), row.action == ZEPH_POWER_DOWN ? 0u : 1u);
        EXPECT_EQ(h.access.Context() != 0, row.action != ZEPH_POWER_DOWN);
        if (row.status == ZEPH_STATUS_SUCCESS && row.action != ZEPH_POWER_DOWN) {
            atr.resize(length);
            EXPECT_EQ(atr, kPredefinedAtr);
            EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
        }
        EXPECT_EQ(h.traces.TextsAt(TRACE_ERROR),
                  row.error.empty() ? std::vector<std::string>{} : Latin1s({row.error}));
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
        EXPECT_TRUE(std::all_of(memory.begin(), memory.begin() + 16,
                                [](uint8_t byte) { return byte == 0xA5; }));
        EXPECT_TRUE(std::all_of(memory.begin() + 20, memory.end(),
                                [](uint8_t byte) { return byte == 0xA5; }));
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
