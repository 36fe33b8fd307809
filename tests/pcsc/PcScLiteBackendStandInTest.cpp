// The pcsc-lite backend over stand-in entry points (tests/support/PcScLiteStandIn.h), where an
// interleaving or a misbehaviour of pcsc-lite must be forced.
#include <chrono>
#include <future>

#include "PcScLiteStandIn.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/PcScMemory.h"

namespace {

using namespace zeph::platform::pcsclite;
using standin::g_state;
using standin::kAtrLength;
using standin::kAttributeByte;

// Releasing pcsc-lite's context under a call in progress would let that call go on over a
// socket descriptor the next context reuses.
TEST_F(PcScLiteBackendStandIn, ReleaseWaitsForAReaderListInProgress) {
    auto list = std::async(std::launch::async, [this] {
        PcScMemory readers;
        return m_backend.ListReaders(m_context, nullptr, readers);
    });
    {
        std::unique_lock lock(g_state.mutex);
        g_state.changed.wait(lock, [] { return g_state.listing; });
    }
    auto release =
        std::async(std::launch::async, [this] { return m_backend.ReleaseContext(m_context); });
    EXPECT_EQ(release.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    LetListReturn();
    EXPECT_EQ(list.get(), 0u);
    EXPECT_EQ(release.get(), 0u);
    EXPECT_FALSE(g_state.releasedWhileListing);
}

// A failed exchange may leave anything in pcsc-lite's length; the caller is never told of more
// than its buffer holds.
TEST_F(PcScLiteBackendStandIn, FailedExchangeReportsNoMoreThanTheCapacity) {
    const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    const uint8_t command[] = {0x00, 0xB0, 0x00, 0x00, 0x00};
    uint8_t buffer[16] = {};
    uint32_t lengths[3] = {sizeof(buffer), sizeof(buffer), sizeof(buffer)};
    EXPECT_EQ(
        m_backend.Transmit(m_card, &pci, command, sizeof(command), nullptr, buffer, &lengths[0]),
        SCARD_F_COMM_ERROR);
    EXPECT_EQ(m_backend.Control(m_card, m_backend.ControlCode(1), command, sizeof(command), buffer,
                                lengths[1], &lengths[1]),
              SCARD_F_COMM_ERROR);
    EXPECT_EQ(m_backend.GetAttrib(m_card, 2, buffer, &lengths[2]), SCARD_F_COMM_ERROR);
    for (const uint32_t length : lengths) {
        EXPECT_LE(length, sizeof(buffer));
    }
}

// A host's buffer larger than pcsc-lite accepts gets the attribute; a smaller one its length.
TEST_F(PcScLiteBackendStandIn, LargeBufferGetsTheAttributeSmallOneItsLength) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {1024, SCARD_S_SUCCESS},
        {kLiteMaxBuffer, SCARD_S_SUCCESS},
        {kLiteMaxBuffer - 1, SCARD_E_INSUFFICIENT_BUFFER}};
    for (const auto& [capacity, result] : cases) {
        uint8_t buffer[1024] = {};
        uint32_t length = capacity;
        EXPECT_EQ(m_backend.GetAttrib(m_card, 1, buffer, &length), result) << capacity;
        EXPECT_EQ(length, kLiteMaxBuffer) << capacity;
        EXPECT_EQ(buffer[kLiteMaxBuffer - 1], result == 0 ? kAttributeByte : 0) << capacity;
    }
}

// The ATR goes into the caller's buffer only when it fits; the bytes around it stay as they are.
TEST_F(PcScLiteBackendStandIn, StatusWritesTheAtrOnlyWithinTheCallersBuffer) {
    for (const uint32_t capacity : {kAtrLength - 1, kAtrLength}) {
        uint8_t memory[kAtrLength + 2] = {};
        uint32_t length = capacity;
        PcScMemory reader;
        const uint32_t expected = capacity < kAtrLength ? SCARD_E_INSUFFICIENT_BUFFER : 0;
        EXPECT_EQ(m_backend.Status(m_card, reader, nullptr, nullptr, memory + 1, &length),
                  expected);
        EXPECT_EQ(length, kAtrLength);
        EXPECT_EQ(memory[0], 0) << capacity;
        EXPECT_EQ(memory[capacity + 1], 0) << capacity;
        EXPECT_EQ(memory[1], expected == 0 ? kAttributeByte : 0) << capacity;
    }
}

// A card that pcsc-lite no longer knows leaves the backend's table with its disconnection.
TEST_F(PcScLiteBackendStandIn, DisconnectOfACardPcscLiteForgotLeavesNoHandle) {
    EXPECT_EQ(m_backend.Disconnect(m_card, SCARD_LEAVE_CARD), SCARD_E_INVALID_HANDLE);
    uint8_t buffer[4];
    uint32_t length = sizeof(buffer);
    EXPECT_EQ(m_backend.GetAttrib(m_card, 1, buffer, &length), SCARD_E_INVALID_HANDLE);
}

// A connection changes pcsc-lite's card handle lists: a transmit, which walks them, waits for it.
TEST_F(PcScLiteBackendStandIn, TransmitWaitsForAConnectionInProgress) {
    g_state.connectBlocks = true;
    auto connect = std::async(std::launch::async, [this] {
        ScardHandle card = 0;
        uint32_t protocol = 0;
        return m_backend.Connect(m_context, u"Stand-in Reader", SCARD_SHARE_SHARED,
                                 SCARD_PROTOCOL_T1, &card, &protocol);
    });
    {
        std::unique_lock lock(g_state.mutex);
        g_state.changed.wait(lock, [] { return g_state.connecting; });
    }
    auto transmit = std::async(std::launch::async, [this] {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        const uint8_t command[] = {0x00, 0xB0, 0x00, 0x00, 0x00};
        uint8_t buffer[16];
        uint32_t length = sizeof(buffer);
        return m_backend.Transmit(m_card, &pci, command, sizeof(command), nullptr, buffer, &length);
    });
    EXPECT_EQ(transmit.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    LetListReturn();
    EXPECT_EQ(connect.get(), 0u);
    EXPECT_EQ(transmit.get(), SCARD_F_COMM_ERROR);
}

}  // namespace
