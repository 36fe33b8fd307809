// Power actions and protocol selection, over the simulator.
#include <algorithm>
#include <array>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

TEST(Power, WarmResetReconnectsWithResetAndReturnsTheAtr) {
    ExtensionHarness h;
    h.ConnectCard();
    h.access.OpenGate();
    uint8_t atr[36] = {};
    uint32_t length = sizeof(atr);
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_WARM_RESET, atr, &length), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(atr, atr + length), kPredefinedAtr);
    const std::vector<sim::JournalEntry> reconnects = h.simulator.Journal(Call::Reconnect);
    ASSERT_EQ(reconnects.size(), 1u);
    EXPECT_EQ(reconnects[0].disposition, SCARD_RESET_CARD);
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
}

TEST(Power, ColdResetPowersDownConnectsAgainAndReconnectsUnpowering) {
    ExtensionHarness h;
    h.ConnectCard();
    h.access.OpenGate();
    uint8_t atr[36] = {};
    uint32_t length = sizeof(atr);
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_COLD_RESET, atr, &length), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(atr, atr + length), kPredefinedAtr);
    EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.simulator.Journal(Call::Connect).at(0).shareMode, SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(h.simulator.Journal(Call::Reconnect).at(0).disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.simulator.CallCount(Call::Status), 2u);
}

TEST(Power, ResetWhileTheGateIsClosedLeavesTheCardDisconnected) {
    ExtensionHarness h;
    h.ConnectCard();
    uint8_t atr[36] = {};
    uint32_t length = sizeof(atr);
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_WARM_RESET, atr, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 0u);
    EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_RESET_CARD);
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_TRUE(h.Traced(TRACE_ERROR, "CZephExtensionPcSc::Power::ReConnect lieferte Fehler!"));
}

TEST(Power, TooSmallAtrBufferFailsTheStatusReadButKeepsTheConnection) {
    ExtensionHarness h;
    h.ConnectCard();
    h.access.OpenGate();
    uint8_t atr[4] = {};
    uint32_t length = sizeof(atr);
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_WARM_RESET, atr, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_NE(h.access.Card(), 0u);
}

TEST(Power, UnknownActionKeepsTheConnectionAndAnswersNoMedia) {
    ExtensionHarness h;
    h.ConnectCard();
    EXPECT_EQ(h.extension->Power(5, nullptr, nullptr), ZEPH_STATUS_NO_MEDIA);
    EXPECT_NE(h.access.Card(), 0u);
    EXPECT_TRUE(h.simulator.Journal().empty());
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Power::Unbekannter Resettyp <5> wurde angefordernt"));
}

TEST(Power, PowerDownReleasesTheContextAndTheNextUseStartsAfresh) {
    ExtensionHarness h;
    h.ConnectCard();
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_DOWN, nullptr, nullptr), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    EXPECT_TRUE(h.simulator.Connections().empty());

    uint8_t buffer[8];
    uint64_t length = sizeof(buffer);
    const ZephSendHeader header{SCARD_PROTOCOL_T1, 8};
    EXPECT_EQ(h.extension->Transmit(&header, buffer, 1, buffer, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_TRUE(h.access.GetContext());
    EXPECT_EQ(h.simulator.CallCount(Call::EstablishContext), 1u);
}

TEST(Power, WithoutACardEveryActionSucceedsAndTouchesNothing) {
    ExtensionHarness h;
    for (uint32_t action : {0u, 1u, 2u, 9u}) {
        EXPECT_EQ(h.extension->Power(action, nullptr, nullptr), ZEPH_STATUS_SUCCESS);
    }
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(SetProtocol, OnlyMasksWithT1AreAccepted) {
    ExtensionHarness h;
    h.ConnectCard();
    uint32_t active = 0;
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &active),
              ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 0u);

    active = 0;
    EXPECT_EQ(h.extension->SetProtocol(SCARD_PROTOCOL_T0, &active), ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_EQ(active, SCARD_PROTOCOL_T1);
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::SetProtocol::Gewünschtes Protokoll "
                         "<T0> wird NICHT unterstützt!"));
}

// Both resets read the ATR into a buffer too small for it: each read is offered the host's
// capacity, so nothing lands past it, and the status is no media.
TEST(Power, AtrBufferTooSmallIsNeverWrittenPastOnEitherReset) {
    for (const uint32_t action : {ZEPH_POWER_COLD_RESET, ZEPH_POWER_WARM_RESET}) {
        SCOPED_TRACE(action);
        ExtensionHarness h;
        h.ConnectCard();
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
    }
}
