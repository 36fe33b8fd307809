// The pcsc-lite backend on the real stack, where it must behave unlike pcsc-lite itself; the
// behaviours the simulator shares are in tests/scenarios.
#include <future>
#include <vector>

#include "StackFixture.h"
#include "pcsc/PcScMemory.h"

namespace realstack {
namespace {

constexpr uint32_t kIoDeviceError = 1117;  // Windows' ERROR_IO_DEVICE, which pcsc-lite lacks

class PcScLiteBackendReal : public StackFixture {
  protected:
    PcScLiteBackendReal() : StackFixture({1, true}) {}
};

// pcsc-lite drops a cancel that arrives before its wait blocks; the backend repeats it.
TEST_F(PcScLiteBackendReal, CancelRightAfterTheWaitBeganStillEndsIt) {
    for (int round = 0; round < 50; ++round) {
        PcScReaderState state = Unchanged();
        BackgroundCall<uint32_t> wait(
            [&] { return Backend().GetStatusChange(LiteContext(), INFINITE, &state, 1); },
            [&] { Backend().ReleaseContext(LiteContext()); });
        ASSERT_TRUE(AwaitOpenWaits(1)) << "round " << round;
        EXPECT_EQ(Backend().Cancel(LiteContext()), 0u);
        EXPECT_EQ(wait.Get(kCallTimeout), std::optional<uint32_t>(SCARD_E_CANCELLED))
            << "round " << round;
    }
}

// Threads waiting, cancelling and transmitting on one context, then a release in the middle of
// it: every call returns, and nothing is used after the release (run under TSan and ASan).
TEST_F(PcScLiteBackendReal, WaitsCancelsAndTransmitsOnOneContextEndWithItsRelease) {
    Stack().InsertCard();
    ScardHandle card = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, &card), 0u);
    const PcScReaderState unchanged = Unchanged();
    auto waiter = [&] {
        uint32_t last = 0;
        do {
            PcScReaderState state = unchanged;
            last = Backend().GetStatusChange(LiteContext(), INFINITE, &state, 1);
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
        EXPECT_EQ(Backend().Cancel(LiteContext()), 0u);
    }
    EXPECT_EQ(Backend().ReleaseContext(LiteContext()), 0u);
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
    Stack().InsertCard({"", {}, "00B0"});
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
    VirtualCardProcess& virtualCard = Stack().InsertCard();
    for (int restart = 0; restart < 3; ++restart) {
        SCOPED_TRACE(restart);
        ScardHandle card = 0;
        ASSERT_EQ(Connect(SCARD_SHARE_SHARED, &card), 0u);
        PcScReaderState state = Unchanged();
        auto wait = [&] {
            PcScReaderState copy = state;
            return Backend().GetStatusChange(LiteContext(), INFINITE, &copy, 1);
        };
        std::vector<std::future<uint32_t>> pooled;
        for (int i = 0; i < 3; ++i) {
            pooled.push_back(std::async(std::launch::async, wait));
        }
        ASSERT_TRUE(AwaitOpenWaits(3));
        Backend().Cancel(LiteContext());
        BackgroundCall<uint32_t> blocked(wait, [&] { Backend().Cancel(LiteContext()); });
        ASSERT_TRUE(AwaitOpenWaits(1));
        EXPECT_EQ(OpenSockets(), 5u) << "the fixture's, the card's, two pooled and a waiting one";

        Stack().StopPcscd();
        // The blocked wait mostly sees the connection drop, or, when it was between two of its
        // polls, finds no service (the backend then calls the context invalid at once); when
        // pcscd's own answer to its waiters as it stops comes first, the context counts as valid
        // until the next call is refused.
        const uint32_t ended = blocked.Get(kCallTimeout).value_or(0);
        const uint32_t validAfterTheWait = Backend().IsValidContext(LiteContext());
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
            Transmit(card), Backend().ListReaders(LiteContext(), nullptr, readers),
            Backend().GetStatusChange(LiteContext(), 0, &state, 1),
            Backend().IsValidContext(LiteContext()), Backend().ReleaseContext(LiteContext())};
        EXPECT_EQ(answers,
                  (std::vector<uint32_t>{SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE,
                                         SCARD_E_INVALID_HANDLE, SCARD_E_NO_SERVICE}));
        EXPECT_EQ(OpenSockets(), 0u);

        Stack().StartPcscd();
        ASSERT_EQ(Backend().EstablishContext(SCARD_SCOPE_SYSTEM, &LiteContext()), 0u);
        EXPECT_EQ(Backend().ListReaders(LiteContext(), nullptr, readers), 0u);
        ASSERT_TRUE(virtualCard.Insert());
        state.dwCurrentState = SCARD_STATE_EMPTY;
        EXPECT_EQ(Backend().GetStatusChange(LiteContext(), 5000, &state, 1), 0u);
        EXPECT_NE(state.dwEventState & SCARD_STATE_PRESENT, 0u);
    }
}

}  // namespace
}  // namespace realstack
