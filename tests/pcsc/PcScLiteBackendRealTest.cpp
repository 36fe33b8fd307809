// The pcsc-lite backend on the real stack, where it must behave unlike pcsc-lite itself; the
// behaviours the simulator shares are in tests/scenarios.
#include <gtest/gtest.h>

#include <future>
#include <iostream>
#include <vector>

#include "BackgroundCall.h"
#include "PcscHandles.h"
#include "RealStack.h"
#include "TestCards.h"
#include "WaitUntil.h"
#include "pcsc/PcScMemory.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "platform/TextConversion.h"

namespace realstack {
namespace {

constexpr uint32_t kIoDeviceError = 1117;  // Windows' ERROR_IO_DEVICE, which pcsc-lite lacks

// The backend with a context on a stack of its own. Its library is loaded before the stack's
// first pcsc-lite call, and the stack leaves PCSCLITE_NO_BLOCKING out: the backend has to turn
// pcsc-lite's sharing waits off by itself.
class PcScLiteBackendReal : public ::testing::Test {
  protected:
    static constexpr std::chrono::milliseconds kCallTimeout{10000};

    void SetUp() override {
        ASSERT_TRUE(m_library.Loaded()) << m_library.Status();
        m_stack = std::make_unique<RealStack>(false);
        ASSERT_EQ(m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context), 0u);
        m_reader = zeph::platform::NarrowToWide(m_stack->ReaderName());
    }
    void TearDown() override {
        m_backend.ReleaseContext(m_context);
        if (HasFailure()) {
            std::cout << m_stack->Logs();
        }
        EXPECT_TRUE(m_stack->StopCards()) << "a card crashed or leaked";
    }

    uint32_t Connect(uint32_t shareMode, ScardHandle* card) {
        uint32_t protocol = 0;
        return m_backend.Connect(m_context, m_reader.c_str(), shareMode, SCARD_PROTOCOL_T1, card,
                                 &protocol);
    }
    uint32_t Transmit(ScardHandle card, const std::vector<uint8_t>& command = kSelectMasterFile) {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        uint8_t answer[258];
        uint32_t length = sizeof(answer);
        return m_backend.Transmit(card, &pci, command.data(), static_cast<uint32_t>(command.size()),
                                  nullptr, answer, &length);
    }
    // The reader's record with its current state as the state the caller believes in.
    PcScReaderState Unchanged() {
        PcScReaderState state{};
        state.szReader = m_reader.c_str();
        EXPECT_EQ(m_backend.GetStatusChange(m_context, 0, &state, 1), 0u);
        state.dwCurrentState = state.dwEventState;
        return state;
    }
    bool AwaitOpenWaits(size_t count) {
        return WaitUntil([&] { return m_backend.OpenWaits(m_context) == count; }, kCallTimeout,
                         std::chrono::microseconds(100));
    }

    const zeph::platform::pcsclite::PcScLiteLibrary m_library;
    std::unique_ptr<RealStack> m_stack;
    zeph::platform::pcsclite::PcScLiteBackend m_backend{m_library};
    ScardContext m_context = 0;
    std::u16string m_reader;
};

// pcsc-lite drops a cancel that arrives before its wait blocks; the backend repeats it.
TEST_F(PcScLiteBackendReal, CancelRightAfterTheWaitBeganStillEndsIt) {
    for (int round = 0; round < 50; ++round) {
        PcScReaderState state = Unchanged();
        BackgroundCall<uint32_t> wait(
            [&] { return m_backend.GetStatusChange(m_context, INFINITE, &state, 1); },
            [&] { m_backend.ReleaseContext(m_context); });
        ASSERT_TRUE(AwaitOpenWaits(1)) << "round " << round;
        EXPECT_EQ(m_backend.Cancel(m_context), 0u);
        EXPECT_EQ(wait.Get(kCallTimeout), std::optional<uint32_t>(SCARD_E_CANCELLED))
            << "round " << round;
    }
}

// Threads waiting, cancelling and transmitting on one context, then a release in the middle of
// it: every call returns, and nothing is used after the release (run under TSan and ASan).
TEST_F(PcScLiteBackendReal, WaitsCancelsAndTransmitsOnOneContextEndWithItsRelease) {
    m_stack->InsertCard();
    ScardHandle card = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, &card), 0u);
    const PcScReaderState unchanged = Unchanged();
    auto waiter = [&] {
        uint32_t last = 0;
        do {
            PcScReaderState state = unchanged;
            last = m_backend.GetStatusChange(m_context, INFINITE, &state, 1);
        } while (last == static_cast<uint32_t>(SCARD_E_CANCELLED));
        return last;
    };
    auto transmitter = [&] {
        uint32_t last = 0;
        while ((last = Transmit(card)) == 0) {
        }
        return last;
    };
    std::vector<std::future<uint32_t>> calls;
    calls.push_back(std::async(std::launch::async, waiter));
    calls.push_back(std::async(std::launch::async, waiter));
    calls.push_back(std::async(std::launch::async, transmitter));
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(AwaitOpenWaits(2)) << "round " << round;
        EXPECT_EQ(m_backend.Cancel(m_context), 0u);
    }
    EXPECT_EQ(m_backend.ReleaseContext(m_context), 0u);
    for (auto& call : calls) {
        ASSERT_EQ(call.wait_for(kCallTimeout), std::future_status::ready);
        EXPECT_EQ(call.get(), static_cast<uint32_t>(SCARD_E_INVALID_HANDLE));
    }
}

// A card that drops its reader connection under an exchange: vpcd answers that exchange with a
// success without a response, pcsc-lite the ones after it (until pcscd sees the card gone) with
// SCARD_E_NOT_TRANSACTED. Both are the reader's failed I/O, which the extension retries; the card's
// removal then ends the retries.
TEST_F(PcScLiteBackendReal, ExchangesOfAReaderWhoseIoFailedAreDeviceErrorsUntilTheRemoval) {
    m_stack->InsertCard({"", {}, "00B0"});
    ScardHandle card = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, &card), 0u);
    const std::vector<uint8_t> readBinary = {0x00, 0xB0, 0x00, 0x00, 0x00};
    EXPECT_EQ(Transmit(card, readBinary), kIoDeviceError);
    uint32_t last = kIoDeviceError;
    WaitUntil([&] { return (last = Transmit(card, readBinary)) != kIoDeviceError; }, kCallTimeout);
    EXPECT_EQ(last, static_cast<uint32_t>(SCARD_W_REMOVED_CARD));
}

// Each stop of pcscd kills the backend's context with its card context, its pooled wait contexts
// and the wait in progress: the wait ends, the calls fail, pcsc-lite still calls it valid until
// a call was refused. Releasing it closes every socket of it, and the next context starts with a
// pool of its own.
TEST_F(PcScLiteBackendReal, ContextsThatLostPcscdFailAndLeaveNoSocketOnceReleased) {
    VirtualCardProcess& virtualCard = m_stack->InsertCard();
    for (int restart = 0; restart < 3; ++restart) {
        SCOPED_TRACE(restart);
        ScardHandle card = 0;
        ASSERT_EQ(Connect(SCARD_SHARE_SHARED, &card), 0u);
        PcScReaderState state = Unchanged();
        auto wait = [&] {
            PcScReaderState copy = state;
            return m_backend.GetStatusChange(m_context, INFINITE, &copy, 1);
        };
        std::vector<std::future<uint32_t>> pooled;
        for (int i = 0; i < 3; ++i) {
            pooled.push_back(std::async(std::launch::async, wait));
        }
        ASSERT_TRUE(AwaitOpenWaits(3));
        m_backend.Cancel(m_context);
        BackgroundCall<uint32_t> blocked(wait, [&] { m_backend.Cancel(m_context); });
        ASSERT_TRUE(AwaitOpenWaits(1));
        EXPECT_EQ(OpenSockets(), 5u) << "the fixture's, the card's, two pooled and a waiting one";

        m_stack->StopPcscd();
        // The blocked wait mostly sees the connection drop, or, when it was between two of its
        // polls, finds no service (the backend then calls the context invalid at once); when
        // pcscd's own answer to its waiters as it stops comes first, the context counts as valid
        // until the next call is refused.
        const uint32_t ended = blocked.Get(kCallTimeout).value_or(0);
        const uint32_t validAfterTheWait = m_backend.IsValidContext(m_context);
        if (ended == static_cast<uint32_t>(SCARD_W_SECURITY_VIOLATION)) {
            EXPECT_EQ(validAfterTheWait, 0u);
        } else {
            EXPECT_TRUE(ended == static_cast<uint32_t>(SCARD_F_COMM_ERROR) ||
                        ended == static_cast<uint32_t>(SCARD_E_NO_SERVICE))
                << std::hex << ended;
            EXPECT_EQ(validAfterTheWait, static_cast<uint32_t>(SCARD_E_INVALID_HANDLE));
        }
        PcScMemory readers;
        const std::vector<uint32_t> answers = {
            Transmit(card), m_backend.ListReaders(m_context, nullptr, readers),
            m_backend.GetStatusChange(m_context, 0, &state, 1), m_backend.IsValidContext(m_context),
            m_backend.ReleaseContext(m_context)};
        EXPECT_EQ(answers,
                  (std::vector<uint32_t>{SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE,
                                         SCARD_E_INVALID_HANDLE, SCARD_E_NO_SERVICE}));
        EXPECT_EQ(OpenSockets(), 0u);

        m_stack->StartPcscd();
        ASSERT_EQ(m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context), 0u);
        EXPECT_EQ(m_backend.ListReaders(m_context, nullptr, readers), 0u);
        ASSERT_TRUE(virtualCard.Insert());
        state.dwCurrentState = SCARD_STATE_EMPTY;
        EXPECT_EQ(m_backend.GetStatusChange(m_context, 5000, &state, 1), 0u);
        EXPECT_NE(state.dwEventState & SCARD_STATE_PRESENT, 0u);
    }
}

}  // namespace
}  // namespace realstack
