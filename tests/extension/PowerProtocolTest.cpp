// Power actions and protocol selection, over the simulator.
#include <algorithm>

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
        EXPECT_EQ(h.simulator.OpenConnections(), row.connected ? 1u : 0u);
        EXPECT_EQ(h.simulator.OpenContexts(), row.action == ZEPH_POWER_DOWN ? 0u : 1u);
        if (row.status == ZEPH_STATUS_SUCCESS && row.action != ZEPH_POWER_DOWN) {
            EXPECT_EQ(atr, kPredefinedAtr);
            EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
        }
        EXPECT_EQ(h.traces.TextsAt(TRACE_ERROR).size(), row.error.empty() ? 0u : 1u);
        EXPECT_TRUE(row.error.empty() || h.Traced(TRACE_ERROR, "Power", row.error));
    }
}

// Both resets read the ATR into the host's buffer, guarded on both sides: exactly the room it
// needs takes it, one byte less (or far less) gets nothing, fails, learns the size needed, and the
// card stays connected.
TEST(Power, AtrBufferIsNeverWrittenPastOnEitherReset) {
    const uint32_t atrSize = static_cast<uint32_t>(kPredefinedAtr.size());
    for (const uint32_t action : {ZEPH_POWER_COLD_RESET, ZEPH_POWER_WARM_RESET}) {
        for (const uint32_t capacity : {atrSize, atrSize - 1, 4u}) {
            SCOPED_TRACE(testing::Message() << action << " with room for " << capacity);
            ConnectedHarness h;
            h.access.OpenGate();
            std::vector<uint8_t> memory(64, 0xA5);
            uint32_t length = capacity;
            const bool fits = capacity == atrSize;
            EXPECT_EQ(h.extension->Power(action, memory.data() + 16, &length),
                      fits ? ZEPH_STATUS_SUCCESS : ZEPH_STATUS_NO_MEDIA);
            std::vector<uint8_t> expected(memory.size(), 0xA5);
            if (fits) {
                std::copy(kPredefinedAtr.begin(), kPredefinedAtr.end(), expected.begin() + 16);
            }
            EXPECT_EQ(memory, expected);
            EXPECT_EQ(length, atrSize);
            EXPECT_NE(h.access.Card(), 0u);
        }
    }
}

TEST(SetProtocol, OnlyMasksWithT1AreAccepted) {
    ConnectedHarness h;
    uint32_t active = 0;
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &active),
              ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0, &active), ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_EQ(h.Steps(), "");
}
