// Injected failures, the journal of calls, and the accounting of allocated text.
#include <string>

#include "SimulatorFixture.h"

namespace {

using sim::Call;

class FaultJournalMemoryTest : public SimulatorTest {
  protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    }
};

TEST_F(FaultJournalMemoryTest, InjectedResultsFailTheNextCallsWithoutEffect) {
    pcsc.InjectResults(Call::Connect, {SCARD_E_NO_SERVICE});
    ScardHandle card = 0;
    EXPECT_EQ(Connect(SCARD_SHARE_EXCLUSIVE, card), SCARD_E_NO_SERVICE);
    EXPECT_TRUE(pcsc.Connections().empty());
    card = MustConnect(SCARD_SHARE_EXCLUSIVE);

    pcsc.InjectResults(Call::Transmit,
                       {SCARD_S_SUCCESS, ERROR_IO_DEVICE_RESULT, ERROR_IO_DEVICE_RESULT});
    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_S_SUCCESS);
    EXPECT_EQ(Exchange(card, kSelectMasterFile), ERROR_IO_DEVICE_RESULT);
    EXPECT_EQ(Exchange(card, kSelectMasterFile), ERROR_IO_DEVICE_RESULT);
    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_S_SUCCESS);
}

TEST_F(FaultJournalMemoryTest, InjectedWaitFailureReturnsWithoutWaiting) {
    PcScReaderState entry = Entry(kReaderA, pcsc.ReaderState(kReaderA));
    pcsc.InjectResults(Call::GetStatusChange, {SCARD_E_SYSTEM_CANCELLED});
    EXPECT_EQ(pcsc.GetStatusChange(context, SCARD_INFINITE, &entry, 1), SCARD_E_SYSTEM_CANCELLED);
    EXPECT_EQ(pcsc.WaitsBlockedSoFar(), 0u);
}

TEST_F(FaultJournalMemoryTest, JournalKeepsCallsInOrderWithTheirArguments) {
    pcsc.ClearJournal();
    const ScardHandle card = MustConnect(SCARD_SHARE_EXCLUSIVE);
    uint32_t active = 0;
    pcsc.Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_RESET_CARD, &active);
    uint32_t returned = 0;
    pcsc.Control(card, pcsc.ControlCode(55), nullptr, 0, nullptr, 0, &returned);
    pcsc.Disconnect(card, SCARD_UNPOWER_CARD);

    const std::vector<sim::JournalEntry> journal = pcsc.Journal();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].call, Call::Connect);
    EXPECT_EQ(journal[0].reader, kReaderA);
    EXPECT_EQ(journal[0].shareMode, SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(journal[0].protocols, SCARD_PROTOCOL_T1);
    EXPECT_EQ(journal[0].card, card);
    EXPECT_EQ(journal[1].call, Call::Reconnect);
    EXPECT_EQ(journal[1].disposition, SCARD_RESET_CARD);
    EXPECT_EQ(journal[2].call, Call::Control);
    EXPECT_EQ(journal[2].argument, 0x3100DCu);
    EXPECT_EQ(journal[2].result, SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(journal[3].call, Call::Disconnect);
    EXPECT_EQ(journal[3].disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(journal[3].reader, kReaderA);
    EXPECT_EQ(pcsc.CallCount(Call::Transmit), 0u);
}

TEST_F(FaultJournalMemoryTest, ChangesToTheWorldAreNotJournaled) {
    pcsc.ClearJournal();
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    ASSERT_EQ(pcsc.HoldExclusively(kReaderA), SCARD_S_SUCCESS);
    ASSERT_TRUE(pcsc.ReleaseHeld(kReaderA, SCARD_RESET_CARD));
    ASSERT_TRUE(pcsc.RemoveCard(kReaderA));
    EXPECT_TRUE(pcsc.Journal().empty());
}

TEST_F(FaultJournalMemoryTest, ReaderListIsAMultiStringInInsertionOrder) {
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    PcScMemory readers;
    ASSERT_EQ(pcsc.ListReaders(context, nullptr, readers), SCARD_S_SUCCESS);
    const std::u16string expected = std::u16string(kReaderA) + u'\0' + kReaderB + u'\0' + u'\0';
    EXPECT_EQ(std::u16string(readers.Text(), readers.Length()), expected);
    EXPECT_EQ(pcsc.OutstandingAllocations(), 1u);

    ASSERT_TRUE(pcsc.RemoveReader(kReaderA));
    ASSERT_TRUE(pcsc.RemoveReader(kReaderB));
    EXPECT_EQ(pcsc.ListReaders(context, nullptr, readers), SCARD_E_NO_READERS_AVAILABLE);
    EXPECT_TRUE(readers.Empty());
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(FaultJournalMemoryTest, AllocationsLastUntilFreedOnceOrTheirContextIsReleased) {
    PcScMemory kept;
    ASSERT_EQ(pcsc.ListReaders(context, nullptr, kept), SCARD_S_SUCCESS);
    kept.Reset();
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
    EXPECT_EQ(pcsc.InvalidFrees(), 0u);

    PcScMemory readers;
    ASSERT_EQ(pcsc.ListReaders(context, nullptr, readers), SCARD_S_SUCCESS);
    const char16_t* text = readers.Text();
    ASSERT_EQ(pcsc.ReleaseContext(context), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
    EXPECT_EQ(pcsc.FreeMemory(context, text), SCARD_E_INVALID_PARAMETER);
    const char16_t unknown[] = u"x";
    EXPECT_EQ(pcsc.FreeMemory(context, unknown), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(pcsc.InvalidFrees(), 2u);
}

}  // namespace
