// The pcsc-lite backend on the real stack, where it must behave unlike pcsc-lite itself; the
// behaviours the simulator shares are the scenarios'. The backend is the real scenario stack's,
// whose pcsc-lite is loaded before the stack's first call and left to turn its sharing waits off.
#include <future>
#include <vector>

#include "BackgroundCall.h"
#include "RealStack.h"
#include "ScenarioFixture.h"
#include "TestCards.h"
#include "WaitUntil.h"
#include "pcsc/PcScMemory.h"

realstack::RealStack& RealStackOf(ScenarioStack& stack);  // RealScenarioStack.cpp

namespace {

using realstack::BackgroundCall;
constexpr uint32_t kIoDeviceError = 1117;  // Windows' ERROR_IO_DEVICE, which pcsc-lite lacks
constexpr uint32_t kSecurityViolation = 0x8010006A;

class PcScLiteBackendReal : public PcScScenario {};

// pcsc-lite drops a cancel that arrives before its wait blocks; the backend repeats it.
TEST_P(PcScLiteBackendReal, CancelRightAfterTheWaitBeganStillEndsIt) {
    for (int round = 0; round < 50; ++round) {
        PcScReaderState state = Known(Context());
        BackgroundCall<uint32_t> wait(
            [&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); },
            [&] { Api().ReleaseContext(Context()); });
        ASSERT_TRUE(AwaitWaits(Context(), 1)) << "round " << round;
        EXPECT_EQ(Api().Cancel(Context()), 0u);
        EXPECT_EQ(wait.Get(kDeadline), std::optional<uint32_t>(SCARD_E_CANCELLED))
            << "round " << round;
    }
}

// Threads waiting, cancelling and transmitting on one context, then a release in the middle of
// it: every call returns, and nothing is used after the release (run under TSan and ASan).
TEST_P(PcScLiteBackendReal, WaitsCancelsAndTransmitsOnOneContextEndWithItsRelease) {
    Stack().InsertCard(kPredefinedAtr);
    ScardHandle card = 0;
    ASSERT_EQ(Connect(Context(), &card), 0u);
    const PcScReaderState unchanged = Known(Context());
    auto waiter = [&] {
        uint32_t last = 0;
        do {
            PcScReaderState state = unchanged;
            last = Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1);
        } while (last == SCARD_E_CANCELLED);
        return last;
    };
    auto transmitter = [&] {
        uint32_t last = 0;
        while ((last = Select(card)) == 0) {
        }
        return last;
    };
    std::vector<std::future<uint32_t>> calls;
    calls.push_back(Start(waiter));
    calls.push_back(Start(waiter));
    calls.push_back(Start(transmitter));
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(AwaitWaits(Context(), 2)) << "round " << round;
        EXPECT_EQ(Api().Cancel(Context()), 0u);
    }
    EXPECT_EQ(Api().ReleaseContext(Context()), 0u);
    for (auto& call : calls) {
        ASSERT_EQ(call.wait_for(kDeadline), std::future_status::ready);
        EXPECT_EQ(call.get(), SCARD_E_INVALID_HANDLE);
    }
}

// A card that drops its reader connection under an exchange: vpcd answers that exchange with a
// success without a response, pcsc-lite the ones after it (until pcscd sees the card gone) with
// SCARD_E_NOT_TRANSACTED. Both are the reader's failed I/O, which the extension retries; the card's
// removal then ends the retries.
TEST_P(PcScLiteBackendReal, ExchangesOfAReaderWhoseIoFailedAreDeviceErrorsUntilTheRemoval) {
    RealStackOf(Stack()).InsertCard({"", {}, "00B0"});
    ScardHandle card = 0;
    ASSERT_EQ(Connect(Context(), &card), 0u);
    const uint8_t readBinary[] = {0x00, 0xB0, 0x00, 0x00, 0x00};
    auto read = [&] {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        uint8_t answer[258];
        uint32_t length = sizeof(answer);
        return Api().Transmit(card, &pci, readBinary, sizeof(readBinary), nullptr, answer, &length);
    };
    EXPECT_EQ(read(), kIoDeviceError);
    uint32_t last = kIoDeviceError;
    WaitUntil([&] { return (last = read()) != kIoDeviceError; }, kDeadline);
    EXPECT_EQ(last, SCARD_W_REMOVED_CARD);
}

// Each stop of pcscd kills the backend's context with its card context, its pooled wait contexts
// and the wait in progress: the wait ends, the calls fail, pcsc-lite still calls it valid until
// a call was refused. Releasing it closes every socket of it, and the next context starts with a
// pool of its own.
TEST_P(PcScLiteBackendReal, ContextsThatLostPcscdFailAndLeaveNoSocketOnceReleased) {
    Stack().InsertCard(kPredefinedAtr);
    ScardContext context = Context();
    for (int restart = 0; restart < 3; ++restart) {
        SCOPED_TRACE(restart);
        ScardHandle card = 0;
        ASSERT_EQ(Connect(context, &card, SCARD_SHARE_SHARED), 0u);
        PcScReaderState state = Known(context);
        auto wait = [&] {
            PcScReaderState copy = state;
            return Api().GetStatusChange(context, SCARD_INFINITE, &copy, 1);
        };
        std::vector<std::future<uint32_t>> pooled;
        for (int i = 0; i < 3; ++i) {
            pooled.push_back(Start(wait));
        }
        ASSERT_TRUE(AwaitWaits(context, 3));
        Api().Cancel(context);
        BackgroundCall<uint32_t> blocked(wait, [&] { Api().Cancel(context); });
        ASSERT_TRUE(WaitUntil([&] { return Stack().WaitsInProgress(context) == 1; }, kDeadline));
        EXPECT_EQ(realstack::OpenSockets(), 5u)
            << "the fixture's, the card's, two pooled and a waiting one";

        Stack().StopService();
        // The blocked wait mostly sees the connection drop, or, when it was between two of its
        // polls, finds no service (the backend then calls the context invalid at once); when
        // pcscd's own answer to its waiters as it stops comes first, the context counts as valid
        // until the next call is refused.
        const uint32_t ended = blocked.Get(kDeadline).value_or(0);
        const uint32_t validAfterTheWait = Api().IsValidContext(context);
        if (ended == kSecurityViolation) {
            EXPECT_EQ(validAfterTheWait, 0u);
        } else {
            EXPECT_TRUE(ended == SCARD_F_COMM_ERROR || ended == SCARD_E_NO_SERVICE)
                << std::hex << ended;
            EXPECT_EQ(validAfterTheWait, SCARD_E_INVALID_HANDLE);
        }
        PcScMemory readers;
        const std::vector<uint32_t> answers = {
            Select(card), Api().ListReaders(context, nullptr, readers),
            Api().GetStatusChange(context, 0, &state, 1), Api().IsValidContext(context),
            Api().ReleaseContext(context)};
        EXPECT_EQ(answers,
                  (std::vector<uint32_t>{SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE, SCARD_E_NO_SERVICE,
                                         SCARD_E_INVALID_HANDLE, SCARD_E_NO_SERVICE}));
        EXPECT_EQ(realstack::OpenSockets(), 0u);

        Stack().StartService();  // the card comes back with the service
        context = NewContext();
        ASSERT_NE(context, 0u);
        EXPECT_EQ(Api().ListReaders(context, nullptr, readers), 0u);
        state.dwCurrentState = SCARD_STATE_EMPTY;
        EXPECT_EQ(Api().GetStatusChange(context, 5000, &state, 1), 0u);
        EXPECT_NE(state.dwEventState & SCARD_STATE_PRESENT, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScLiteBackendReal, ::testing::Values("RealStack"));

}  // namespace
