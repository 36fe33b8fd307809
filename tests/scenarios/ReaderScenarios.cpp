// Readers and status changes: reader lists, reader states, waking on insertion and removal, the
// PnP pseudo-reader's count, readers that are gone, ATR location.
#include <algorithm>
#include <cstring>

#include "ScenarioFixture.h"
#include "identification/AtrTable.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr char16_t kNoSuchReader[] = u"No Such Reader 00 00";

PcScAtrMask FullMask(const std::vector<uint8_t>& atr) {
    PcScAtrMask mask{};
    mask.cbAtr = static_cast<uint32_t>(atr.size());
    std::copy(atr.begin(), atr.end(), mask.rgbAtr);
    std::fill_n(mask.rgbMask, atr.size(), uint8_t{0xFF});
    return mask;
}

uint32_t CountOf(uint32_t state) {
    return state >> 16;
}

TEST_P(PcScScenario, ReaderListIsAMultiStringWithTheReader) {
    PcScMemory list;
    ASSERT_EQ(Api().ListReaders(Context(), nullptr, list), SCARD_S_SUCCESS);
    ASSERT_GE(list.Length(), Reader().size() + 2);
    EXPECT_EQ(list.Text()[list.Length() - 1], u'\0');
    EXPECT_EQ(list.Text()[list.Length() - 2], u'\0');
    const auto names = ListedReaders(Context());
    EXPECT_NE(std::find(names.begin(), names.end(), Reader()), names.end());
}

TEST_P(PcScScenario, StatusChangeReportsEmptyReaderThenCardWithItsAtr) {
    const PcScReaderState empty = ReaderState(Context());
    EXPECT_TRUE(empty.dwEventState & SCARD_STATE_EMPTY);
    EXPECT_TRUE(empty.dwEventState & SCARD_STATE_CHANGED);
    EXPECT_FALSE(empty.dwEventState & SCARD_STATE_PRESENT);

    Stack().InsertCard(kPredefinedAtr);
    const PcScReaderState present = ReaderState(Context());
    EXPECT_TRUE(present.dwEventState & SCARD_STATE_PRESENT);
    EXPECT_FALSE(present.dwEventState & SCARD_STATE_EMPTY);
    EXPECT_EQ(std::vector<uint8_t>(present.rgbAtr, present.rgbAtr + present.cbAtr), kPredefinedAtr);
}

TEST_P(PcScScenario, InfiniteWaitWakesOnInsertionAndOnRemoval) {
    PcScReaderState state = ReaderState(Context());
    auto waitForChange = [&] {
        state.dwCurrentState = state.dwEventState;
        return Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); });
    };
    auto rescue = [&] { Api().Cancel(Context()); };

    auto insertion = waitForChange();
    ASSERT_TRUE(AwaitWaits(Context(), 1));
    Stack().InsertCard(kPredefinedAtr);
    ASSERT_TRUE(Finishes(insertion, rescue));
    EXPECT_EQ(insertion.get(), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_CHANGED);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT);

    auto removal = waitForChange();
    ASSERT_TRUE(AwaitWaits(Context(), 1));
    Stack().RemoveCard();
    ASSERT_TRUE(Finishes(removal, rescue));
    EXPECT_EQ(removal.get(), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_CHANGED);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_EMPTY);
}

TEST_P(PcScScenario, PnPEntryWithAnotherReaderCountReturnsAtOnceWithTheRealCount) {
    const auto readerCount = static_cast<uint32_t>(ListedReaders(Context()).size());
    for (uint32_t callerCount : {0u, readerCount + 1}) {
        PcScReaderState states[2] = {};
        states[0] = ReaderState(Context());
        states[0].dwCurrentState = states[0].dwEventState;
        states[1].szReader = kPnPNotificationReader;
        states[1].dwCurrentState = callerCount << 16;
        auto wait =
            Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, states, 2); });
        ASSERT_TRUE(Finishes(wait, [&] { Api().Cancel(Context()); })) << "count " << callerCount;
        EXPECT_EQ(wait.get(), SCARD_S_SUCCESS);
        EXPECT_TRUE(states[1].dwEventState & SCARD_STATE_CHANGED);
        EXPECT_EQ(CountOf(states[1].dwEventState), readerCount);
        EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_EMPTY) << "other entries are filled in";
    }
}

TEST_P(PcScScenario, PnPEntryWithTheRealReaderCountWaits) {
    const auto readerCount = static_cast<uint32_t>(ListedReaders(Context()).size());
    PcScReaderState states[2] = {};
    states[0] = ReaderState(Context());
    states[0].dwCurrentState = states[0].dwEventState;
    states[1].szReader = kPnPNotificationReader;
    states[1].dwCurrentState = readerCount << 16;
    EXPECT_EQ(Api().GetStatusChange(Context(), 200, states, 2), SCARD_E_TIMEOUT);
}

TEST_P(PcScScenario, GoneReaderIsReportedUnknownInsteadOfFailingTheWait) {
    PcScReaderState states[2] = {};
    states[0] = ReaderState(Context());
    states[0].dwCurrentState = states[0].dwEventState;
    states[1].szReader = kNoSuchReader;
    states[1].dwCurrentState = SCARD_STATE_EMPTY;
    auto wait = Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, states, 2); });
    ASSERT_TRUE(Finishes(wait, [&] { Api().Cancel(Context()); }));
    EXPECT_EQ(wait.get(), SCARD_S_SUCCESS);
    const uint32_t unknown = SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE;
    EXPECT_EQ(states[1].dwEventState & unknown, unknown);
    EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_EMPTY) << "other entries are filled in";
}

TEST_P(PcScScenario, AtrLocationMatchesUnderTheMaskOnly) {
    Stack().InsertCard(kPredefinedAtr);
    std::vector<uint8_t> foreign = kPredefinedAtr;
    foreign[5] ^= 0x10;
    PcScAtrMask maskedOut = FullMask(foreign);
    maskedOut.rgbMask[5] = 0xEF;
    std::vector<uint8_t> longer = kPredefinedAtr;
    longer.push_back(0x00);

    struct Case {
        const char* what;
        PcScAtrMask mask;
        bool matches;
    };
    const Case cases[] = {{"predefined ATR", FullMask(kPredefinedAtr), true},
                          {"foreign ATR", FullMask(foreign), false},
                          {"differing bit masked out", maskedOut, true},
                          {"ATR of another length", FullMask(longer), false}};
    for (const Case& c : cases) {
        PcScReaderState state{};
        state.szReader = Reader().c_str();
        ASSERT_EQ(Api().LocateCardsByATR(Context(), &c.mask, 1, &state, 1), SCARD_S_SUCCESS)
            << c.what;
        EXPECT_EQ((state.dwEventState & SCARD_STATE_ATRMATCH) != 0, c.matches) << c.what;
        EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT) << c.what;
    }
}

// The maker's predefined mask ignores bytes 12, 13 and 23 and the high nibble of byte 10: a card
// differing only there is the maker's card, one differing anywhere else is not.
TEST_P(PcScScenario, PredefinedMaskIgnoresOnlyItsFreeBytes) {
    PcScAtrMask mask{};
    mask.cbAtr = sizeof(ZEPH_Helper::kPredefinedAtr);
    std::copy(std::begin(ZEPH_Helper::kPredefinedAtr), std::end(ZEPH_Helper::kPredefinedAtr),
              mask.rgbAtr);
    std::copy(std::begin(ZEPH_Helper::kPredefinedAtrMask),
              std::end(ZEPH_Helper::kPredefinedAtrMask), mask.rgbMask);
    std::vector<uint8_t> variant = kPredefinedAtr;
    variant[10] ^= 0xF0;
    variant[12] = 0xA5;
    variant[13] = 0x5A;
    variant[23] = 0x01;
    std::vector<uint8_t> foreign = kPredefinedAtr;
    foreign[11] ^= 0x01;
    for (const auto& [atr, matches] : {std::pair{variant, true}, std::pair{foreign, false}}) {
        Stack().InsertCard(atr);
        PcScReaderState state{};
        state.szReader = Reader().c_str();
        ASSERT_EQ(Api().LocateCardsByATR(Context(), &mask, 1, &state, 1), SCARD_S_SUCCESS);
        EXPECT_EQ((state.dwEventState & SCARD_STATE_ATRMATCH) != 0, matches);
        Stack().RemoveCard();
    }
}

TEST_P(PcScScenario, AtrLocationMatchesWhenAnyOfSeveralMasksDoes) {
    Stack().InsertCard(kPredefinedAtr);
    std::vector<uint8_t> foreign = kPredefinedAtr;
    foreign[0] = 0x3F;
    const PcScAtrMask masks[] = {FullMask(foreign), FullMask(kPredefinedAtr)};
    PcScReaderState state{};
    state.szReader = Reader().c_str();
    ASSERT_EQ(Api().LocateCardsByATR(Context(), masks, 2, &state, 1), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_ATRMATCH);
}

}  // namespace
