// The simulator's own instruments, which the shared scenarios (tests/scenarios) cannot see: the
// journal, injected results, the memory ledger and the count of blocked waits. How faithfully it
// answers PC/SC calls is measured by the scenarios, which run on the real stack as well.
#include <gtest/gtest.h>

#include <future>

#include "PcScSimulator.h"
#include "TestCards.h"

namespace {

using sim::Call;

constexpr const char16_t* kReader = u"Reader A";

class SimulatorSanity : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pcsc.AddReader(kReader));
        ASSERT_EQ(pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_S_SUCCESS);
    }
    uint32_t Connect(ScardHandle& card) {
        uint32_t protocol = 0;
        return pcsc.Connect(context, kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card,
                            &protocol);
    }

    PcScSimulator pcsc;
    ScardContext context = 0;
};

TEST_F(SimulatorSanity, JournalInjectedResultsAndMemoryLedger) {
    ASSERT_TRUE(pcsc.InsertCard(kReader, kPredefinedAtr));
    pcsc.ClearJournal();
    pcsc.InjectResults(Call::Connect, {SCARD_S_SUCCESS, SCARD_E_NO_SERVICE});
    ScardHandle card = 0;
    ScardHandle refused = 0;
    ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
    EXPECT_EQ(Connect(refused), SCARD_E_NO_SERVICE);
    EXPECT_EQ(pcsc.Connections().size(), 1u);
    EXPECT_EQ(pcsc.Disconnect(card, SCARD_UNPOWER_CARD), SCARD_S_SUCCESS);
    EXPECT_TRUE(pcsc.RemoveCard(kReader));  // changes to the world are not journaled

    const std::vector<sim::JournalEntry> journal = pcsc.Journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].reader, kReader);
    EXPECT_EQ(journal[0].shareMode, SCARD_SHARE_SHARED);
    EXPECT_EQ(journal[0].card, card);
    EXPECT_EQ(journal[1].result, SCARD_E_NO_SERVICE);
    EXPECT_EQ(journal[2].call, Call::Disconnect);
    EXPECT_EQ(journal[2].disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(journal[2].reader, kReader);
    EXPECT_EQ(pcsc.CallCount(Call::Connect), 2u);

    PcScMemory readers;
    ASSERT_EQ(pcsc.ListReaders(context, nullptr, readers), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.OutstandingAllocations(), 1u);
    ASSERT_EQ(pcsc.ReleaseContext(context), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);  // freed with its context
    readers.Reset();
    EXPECT_EQ(pcsc.InvalidFrees(), 1u);
    EXPECT_EQ(pcsc.OpenContexts(), 0u);
}

TEST_F(SimulatorSanity, BlockedWaitsAreCounted) {
    PcScReaderState entry{kReader, nullptr, pcsc.ReaderState(kReader), 0, 0, {}};
    auto wait = std::async(std::launch::async,
                           [&] { return pcsc.GetStatusChange(context, SCARD_INFINITE, &entry, 1); });
    ASSERT_TRUE(pcsc.AwaitWaitersBlocked(1));
    EXPECT_EQ(pcsc.WaitsBlockedSoFar(), 1u);
    ASSERT_TRUE(pcsc.InsertCard(kReader, kPredefinedAtr));
    ASSERT_EQ(wait.wait_for(PcScSimulator::kAwaitDeadline), std::future_status::ready);
    EXPECT_EQ(wait.get(), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.WaitersBlocked(), 0u);
}

}  // namespace
