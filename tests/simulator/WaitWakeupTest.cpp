// Status-change waits blocked on one thread and woken from another: by the world changing, by
// Cancel and by releasing the context. Every wait has a deadline that only catches hangs.
#include <cstdlib>
#include <future>
#include <thread>

#include "SimulatorFixture.h"

namespace {

constexpr auto kHang = PcScSimulator::kAwaitDeadline;

class WaitWakeupTest : public SimulatorTest {
  protected:
    // Starts an infinite wait on the entries and returns once it blocks.
    std::future<uint32_t> BlockedWait(std::vector<PcScReaderState>& entries, ScardContext on = 0) {
        const uint64_t before = pcsc.WaitsBlockedSoFar();
        const ScardContext waitContext = on != 0 ? on : context;
        auto wait = std::async(std::launch::async, [this, &entries, waitContext] {
            return pcsc.GetStatusChange(waitContext, SCARD_INFINITE, entries.data(),
                                        static_cast<uint32_t>(entries.size()));
        });
        EXPECT_TRUE(pcsc.AwaitWaitsBlockedSoFar(before + 1));
        return wait;
    }

    static uint32_t Outcome(std::future<uint32_t>& wait) {
        if (wait.wait_for(kHang) != std::future_status::ready) {
            ADD_FAILURE() << "the wait did not end";
            std::abort();  // a blocked thread cannot be joined
        }
        return wait.get();
    }

    // An entry that knows the reader's current state.
    PcScReaderState Known(const char16_t* reader) {
        return Entry(reader, pcsc.ReaderState(reader));
    }
};

TEST_F(WaitWakeupTest, CardInsertionAndRemovalWakeTheWait) {
    std::vector<PcScReaderState> entries = {Known(kReaderA)};
    auto wait = BlockedWait(entries);
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    ASSERT_EQ(Outcome(wait), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(entries[0].dwEventState), SCARD_STATE_PRESENT | SCARD_STATE_CHANGED);

    entries[0].dwCurrentState = entries[0].dwEventState;
    wait = BlockedWait(entries);
    ASSERT_TRUE(pcsc.RemoveCard(kReaderA));
    ASSERT_EQ(Outcome(wait), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(entries[0].dwEventState), SCARD_STATE_EMPTY | SCARD_STATE_CHANGED);
    EXPECT_EQ(EventCount(entries[0].dwEventState), 2u);
}

TEST_F(WaitWakeupTest, ReadersArrivingAndLeavingWakeThePnPWait) {
    std::vector<PcScReaderState> entries = {Entry(kPnPNotificationReader, 1u << 16)};
    auto wait = BlockedWait(entries);
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    ASSERT_EQ(Outcome(wait), SCARD_S_SUCCESS);
    EXPECT_EQ(entries[0].dwEventState, 2u << 16 | SCARD_STATE_CHANGED);

    entries = {Known(kReaderA), Entry(kPnPNotificationReader, 2u << 16)};
    wait = BlockedWait(entries);
    ASSERT_TRUE(pcsc.RemoveReader(kReaderA));
    ASSERT_EQ(Outcome(wait), SCARD_S_SUCCESS);
    EXPECT_EQ(entries[0].dwEventState,
              SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE);
    EXPECT_EQ(entries[1].dwEventState, 1u << 16 | SCARD_STATE_CHANGED);
}

TEST_F(WaitWakeupTest, AnotherApplicationTakingTheCardWakesTheWait) {
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    std::vector<PcScReaderState> entries = {Known(kReaderA)};
    auto wait = BlockedWait(entries);
    ASSERT_EQ(pcsc.HoldExclusively(kReaderA), SCARD_S_SUCCESS);
    ASSERT_EQ(Outcome(wait), SCARD_S_SUCCESS);
    EXPECT_NE(entries[0].dwEventState & SCARD_STATE_EXCLUSIVE, 0u);
}

TEST_F(WaitWakeupTest, CancelEndsTheWaitsOfItsContextOnly) {
    ScardContext other = 0;
    ASSERT_EQ(pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &other), SCARD_S_SUCCESS);
    std::vector<PcScReaderState> first = {Known(kReaderA)};
    std::vector<PcScReaderState> second = {Known(kReaderA)};
    std::vector<PcScReaderState> elsewhere = {Known(kReaderA)};
    auto firstWait = BlockedWait(first);
    auto secondWait = BlockedWait(second);
    auto otherWait = BlockedWait(elsewhere, other);

    ASSERT_EQ(pcsc.Cancel(context), SCARD_S_SUCCESS);
    EXPECT_EQ(Outcome(firstWait), SCARD_E_CANCELLED);
    EXPECT_EQ(Outcome(secondWait), SCARD_E_CANCELLED);
    EXPECT_EQ(pcsc.WaitersBlocked(), 1u);
    EXPECT_EQ(otherWait.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

    ASSERT_EQ(pcsc.ReleaseContext(other), SCARD_S_SUCCESS);
    EXPECT_EQ(Outcome(otherWait), SCARD_E_CANCELLED);
    EXPECT_EQ(pcsc.WaitersBlocked(), 0u);
}

TEST_F(WaitWakeupTest, FiniteTimeoutEndsAnUnchangedWait) {
    PcScReaderState entry = Known(kReaderA);
    EXPECT_EQ(pcsc.GetStatusChange(context, 20, &entry, 1), SCARD_E_TIMEOUT);
    EXPECT_EQ(pcsc.WaitsBlockedSoFar(), 1u);
    EXPECT_EQ(pcsc.WaitersBlocked(), 0u);
}

// Applications connecting, exchanging APDUs and polling while cards come and go: every call
// gets one of the answers WinSCard gives in such a world, and nothing is left behind.
TEST_F(WaitWakeupTest, ConcurrentApplicationsSeeAConsistentWorld) {
    constexpr int kRounds = 200;
    auto application = [this] {
        ScardContext own = 0;
        EXPECT_EQ(pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &own), SCARD_S_SUCCESS);
        for (int round = 0; round < kRounds; ++round) {
            ScardHandle card = 0;
            uint32_t active = 0;
            const uint32_t connected =
                pcsc.Connect(own, kReaderA, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card, &active);
            EXPECT_TRUE(connected == SCARD_S_SUCCESS || connected == SCARD_W_REMOVED_CARD);
            if (connected == SCARD_S_SUCCESS) {
                const uint32_t sent = Exchange(card, kSelectMasterFile);
                EXPECT_TRUE(sent == SCARD_S_SUCCESS || sent == SCARD_W_REMOVED_CARD ||
                            sent == SCARD_W_RESET_CARD);
                EXPECT_EQ(
                    pcsc.Disconnect(card, round % 2 == 0 ? SCARD_LEAVE_CARD : SCARD_RESET_CARD),
                    SCARD_S_SUCCESS);
            }
            PcScReaderState entry = Entry(kReaderA);
            PcScMemory readers;
            EXPECT_EQ(pcsc.GetStatusChange(own, 0, &entry, 1), SCARD_S_SUCCESS);
            EXPECT_EQ(pcsc.ListReaders(own, nullptr, readers), SCARD_S_SUCCESS);
        }
        EXPECT_EQ(pcsc.ReleaseContext(own), SCARD_S_SUCCESS);
    };
    std::thread first(application);
    std::thread second(application);
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
        EXPECT_TRUE(pcsc.RemoveCard(kReaderA));
    }
    first.join();
    second.join();
    EXPECT_TRUE(pcsc.Connections().empty());
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
    EXPECT_EQ(pcsc.OpenContexts(), 1u);
}

}  // namespace
