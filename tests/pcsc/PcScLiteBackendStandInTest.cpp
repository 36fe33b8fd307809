// The pcsc-lite backend over stand-in entry points, where an interleaving or a misbehaviour of
// pcsc-lite must be forced: a reader list that blocks until the test lets it return, exchanges
// that fail and leave rubbish in their length, an attribute as long as pcsc-lite allows.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>

#include "pcsc/PcScConstants.h"
#include "pcsc/PcScMemory.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace {

using namespace zeph::platform::pcsclite;

constexpr char kReaders[] = "Stand-in Reader\0";
constexpr Dword kRubbish = 0x5A5A5A5A;
constexpr uint8_t kAttributeByte = 0xA5;
constexpr Long kCommError = static_cast<Long>(SCARD_F_COMM_ERROR);

// What the stand-ins share with the test; a stand-in is a plain function, so this is global.
struct StandInState {
    std::mutex mutex;
    std::condition_variable changed;
    bool listing = false;
    bool listMayReturn = false;
    bool releasedWhileListing = false;
} g_state;

Long Establish(Dword, const void*, const void*, LiteContext* context) {
    *context = 1;
    return 0;
}
Long Release(LiteContext) {
    const std::lock_guard lock(g_state.mutex);
    g_state.releasedWhileListing |= g_state.listing;
    return 0;
}
// Blocks until the test lets it return. The backend lists into a buffer of its own: memory that
// pcsc-lite allocates could not be freed once the context is released.
Long ListReaders(LiteContext, const char*, char* readers, Dword* length) {
    std::unique_lock lock(g_state.mutex);
    g_state.listing = true;
    g_state.changed.notify_all();
    g_state.changed.wait(lock, [] { return g_state.listMayReturn; });
    g_state.listing = false;
    if (readers == nullptr || *length == kLiteAutoAllocate || *length < sizeof(kReaders)) {
        return static_cast<Long>(SCARD_E_INVALID_PARAMETER);
    }
    std::memcpy(readers, kReaders, sizeof(kReaders));
    *length = sizeof(kReaders);
    return 0;
}
Long Connect(LiteContext, const char*, Dword, Dword, LiteHandle* card, Dword* protocol) {
    *card = 1;
    *protocol = SCARD_PROTOCOL_T1;
    return 0;
}
Long FailedTransmit(LiteHandle, const LiteIoRequest*, const unsigned char*, Dword, LiteIoRequest*,
                    unsigned char*, Dword* length) {
    *length = kRubbish;
    return kCommError;
}
Long FailedControl(LiteHandle, Dword, const void*, Dword, void*, Dword, Dword* returned) {
    *returned = kRubbish;
    return kCommError;
}
// As pcsc-lite: a buffer above its largest is refused, a smaller one than the attribute is told
// the attribute's length. The attribute 1 fills pcsc-lite's largest buffer, any other fails.
Long GetAttrib(LiteHandle, Dword attribute, unsigned char* buffer, Dword* length) {
    if (attribute != 1) {
        *length = kRubbish;
        return kCommError;
    }
    if (*length > kLiteMaxBuffer) {
        return static_cast<Long>(SCARD_E_INSUFFICIENT_BUFFER);
    }
    const bool fits = *length >= kLiteMaxBuffer;
    *length = kLiteMaxBuffer;
    if (!fits) {
        return static_cast<Long>(SCARD_E_INSUFFICIENT_BUFFER);
    }
    std::memset(buffer, kAttributeByte, kLiteMaxBuffer);
    return 0;
}

class PcScLiteBackendStandIn : public ::testing::Test {
  protected:
    void SetUp() override {
        g_state.listMayReturn = g_state.releasedWhileListing = false;
        ASSERT_EQ(m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context), 0u);
        uint32_t protocol = 0;
        ASSERT_EQ(m_backend.Connect(m_context, u"Stand-in Reader", SCARD_SHARE_SHARED,
                                    SCARD_PROTOCOL_T1, &m_card, &protocol),
                  0u);
    }
    void TearDown() override { LetListReturn(); }

    static void LetListReturn() {
        const std::lock_guard lock(g_state.mutex);
        g_state.listMayReturn = true;
        g_state.changed.notify_all();
    }

    static LiteFunctions StandIns() {
        LiteFunctions functions{};
        functions.establishContext = &Establish;
        functions.releaseContext = &Release;
        functions.listReaders = &ListReaders;
        functions.connect = &Connect;
        functions.transmit = &FailedTransmit;
        functions.control = &FailedControl;
        functions.getAttrib = &GetAttrib;
        return functions;
    }

    const PcScLiteLibrary m_library{StandIns()};
    PcScLiteBackend m_backend{m_library};
    ScardContext m_context = 0;
    ScardHandle m_card = 0;
};

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

}  // namespace
