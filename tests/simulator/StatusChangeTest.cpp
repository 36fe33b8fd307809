// What a status-change poll reports and when an entry counts as changed. Waits that block are
// covered by the concurrency tests.
#include "SimulatorFixture.h"

namespace {

using StatusChangeTest = SimulatorTest;

TEST_F(StatusChangeTest, UnawareCallerLearnsTheStateAtOnce) {
    EXPECT_EQ(Observed(), SCARD_STATE_EMPTY | SCARD_STATE_CHANGED);

    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    PcScReaderState entry = Entry(kReaderA);
    ASSERT_EQ(pcsc.GetStatusChange(context, SCARD_INFINITE, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(entry.dwEventState, 1u << 16 | SCARD_STATE_PRESENT | SCARD_STATE_CHANGED);
    EXPECT_EQ(std::vector<uint8_t>(entry.rgbAtr, entry.rgbAtr + entry.cbAtr), kAtr);
}

TEST_F(StatusChangeTest, PollOfAnUnchangedReaderTimesOut) {
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    PcScReaderState entry = Entry(kReaderA, Observed() & ~SCARD_STATE_CHANGED);
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
    EXPECT_EQ(entry.dwEventState, entry.dwCurrentState);

    // The caller's own ATR match and change flags are no difference.
    entry.dwCurrentState |= SCARD_STATE_ATRMATCH | SCARD_STATE_CHANGED;
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
}

TEST_F(StatusChangeTest, EventCountRevealsACardSwappedBetweenPolls) {
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    PcScReaderState entry = Entry(kReaderA, Observed() & ~SCARD_STATE_CHANGED);
    ASSERT_TRUE(pcsc.RemoveCard(kReaderA));
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));

    ASSERT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(EventCount(entry.dwEventState), 3u);
    EXPECT_EQ(Bits(entry.dwEventState), SCARD_STATE_PRESENT | SCARD_STATE_CHANGED);

    // A caller without a count compares the state bits only.
    entry.dwCurrentState = SCARD_STATE_PRESENT;
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
}

TEST_F(StatusChangeTest, IgnoredEntriesAreLeftAlone) {
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    PcScReaderState entries[] = {Entry(kReaderA, SCARD_STATE_IGNORE),
                                 Entry(u"No such reader", SCARD_STATE_IGNORE)};
    entries[0].dwEventState = SCARD_STATE_IGNORE;
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, entries, 2), SCARD_E_TIMEOUT);
    EXPECT_EQ(entries[0].dwEventState, SCARD_STATE_IGNORE);
    EXPECT_EQ(entries[1].dwEventState, 0u);
}

TEST_F(StatusChangeTest, UnknownReaderIsReportedOnce) {
    PcScReaderState entry = Entry(u"No such reader");
    ASSERT_EQ(pcsc.GetStatusChange(context, SCARD_INFINITE, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(entry.dwEventState, SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE);

    entry.dwCurrentState = SCARD_STATE_UNKNOWN;
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
}

TEST_F(StatusChangeTest, PnPEntryComparesTheReaderCount) {
    PcScReaderState entry = Entry(kPnPNotificationReader);
    ASSERT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(entry.dwEventState, 1u << 16 | SCARD_STATE_CHANGED);

    entry.dwCurrentState = 1u << 16;
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
    EXPECT_EQ(entry.dwEventState, 1u << 16);

    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    ASSERT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(entry.dwEventState, 2u << 16 | SCARD_STATE_CHANGED);
}

TEST_F(StatusChangeTest, MuteCardsAndUnavailableReadersHaveTheirOwnStates) {
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, sim::SimCard{.atr = kAtr, .mute = true}));
    const uint32_t mute = Observed();
    EXPECT_EQ(Bits(mute), SCARD_STATE_PRESENT | SCARD_STATE_MUTE | SCARD_STATE_CHANGED);

    ASSERT_TRUE(pcsc.SetReaderUnavailable(kReaderA, true));
    PcScReaderState entry = Entry(kReaderA, mute & ~SCARD_STATE_CHANGED);
    ASSERT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_S_SUCCESS);
    EXPECT_EQ(Bits(entry.dwEventState), SCARD_STATE_UNAVAILABLE | SCARD_STATE_CHANGED);
    EXPECT_EQ(entry.cbAtr, 0u);
}

TEST_F(StatusChangeTest, CancelReachesOnlyWaitsAlreadyOpen) {
    ASSERT_EQ(pcsc.Cancel(context), SCARD_S_SUCCESS);
    PcScReaderState entry = Entry(kReaderA, SCARD_STATE_EMPTY);
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, &entry, 1), SCARD_E_TIMEOUT);
}

TEST_F(StatusChangeTest, BadContextOrEntriesAreRefused) {
    PcScReaderState entry = Entry(kReaderA);
    EXPECT_EQ(pcsc.GetStatusChange(context + 1000, 0, &entry, 1), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(pcsc.GetStatusChange(context, 0, nullptr, 1), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(pcsc.Cancel(context + 1000), SCARD_E_INVALID_HANDLE);
}

}  // namespace
