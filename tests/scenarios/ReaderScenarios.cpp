// Readers and status changes: reader states, waking on insertion and removal, event counts, the
// PnP pseudo-reader's count, readers that are gone, ATR location.
#include <algorithm>

#include "ScenarioFixture.h"
#include "identification/AtrTable.h"

namespace {

constexpr char16_t kNoSuchReader[] = u"No Such Reader 00 00";

PcScAtrMask MaskOf(const std::vector<uint8_t>& atr, const uint8_t* mask = nullptr) {
    PcScAtrMask entry{};
    entry.cbAtr = static_cast<uint32_t>(atr.size());
    std::copy(atr.begin(), atr.end(), entry.rgbAtr);
    for (size_t i = 0; i < atr.size(); ++i) {
        entry.rgbMask[i] = mask != nullptr ? mask[i] : uint8_t{0xFF};
    }
    return entry;
}

std::vector<uint8_t> With(std::vector<uint8_t> atr,
                          std::initializer_list<std::pair<int, int>> bytes) {
    for (const auto& [index, value] : bytes) {
        if (static_cast<size_t>(index) >= atr.size()) {
            atr.resize(static_cast<size_t>(index) + 1);
        }
        atr[static_cast<size_t>(index)] = static_cast<uint8_t>(value);
    }
    return atr;
}

// The empty reader is reported empty; a wait wakes on the insertion, reported with the card's ATR,
// and on the removal. A caller that saw the card present gets no change, even with its own
// ATR-match and change flags.
TEST_P(PcScScenario, InfiniteWaitWakesOnInsertionWithTheAtrAndOnRemoval) {
    EXPECT_EQ(ReaderState(Context()).dwEventState &
                  (SCARD_STATE_EMPTY | SCARD_STATE_CHANGED | SCARD_STATE_PRESENT),
              SCARD_STATE_EMPTY | SCARD_STATE_CHANGED);
    for (const bool insert : {true, false}) {
        PcScReaderState state = Known(Context());
        if (!insert) {
            PcScReaderState seen = state;
            seen.dwCurrentState |= SCARD_STATE_ATRMATCH;
            EXPECT_EQ(Api().GetStatusChange(Context(), 0, &seen, 1), SCARD_E_TIMEOUT);
        }
        auto wait =
            Start([&] { return Api().GetStatusChange(Context(), SCARD_INFINITE, &state, 1); });
        ASSERT_TRUE(AwaitWaits(Context(), 1));
        insert ? Stack().InsertCard(kPredefinedAtr) : Stack().RemoveCard();
        ASSERT_TRUE(Finishes(wait, [&] { Api().Cancel(Context()); }));
        EXPECT_EQ(wait.get(), SCARD_S_SUCCESS);
        EXPECT_TRUE(state.dwEventState & SCARD_STATE_CHANGED);
        EXPECT_TRUE(state.dwEventState & (insert ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY));
        EXPECT_TRUE(!insert || std::vector<uint8_t>(state.rgbAtr, state.rgbAtr + state.cbAtr) ==
                                   kPredefinedAtr);
    }
}

// The module relies on the event count to see a card that was swapped between two of its polls.
TEST_P(PcScScenario, CardSwappedBetweenPollsIsReportedByTheEventCount) {
    Stack().InsertCard(kPredefinedAtr);
    PcScReaderState state = Known(Context());
    Stack().RemoveCard();
    Stack().InsertCard(kPredefinedAtr);
    ASSERT_EQ(Api().GetStatusChange(Context(), 0, &state, 1), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_CHANGED);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT);
    EXPECT_NE(state.dwEventState >> 16, state.dwCurrentState >> 16);
}

// The PnP entry returns when the caller's reader count differs from the real one and waits when
// it does not; an unknown reader is reported unknown instead of failing the call. Other entries
// are filled in either way.
TEST_P(PcScScenario, PnPEntryAndUnknownReaderReportedBesideTheReader) {
    const auto readerCount = static_cast<uint32_t>(ListedReaders(Context()).size());
    struct Case {
        const char16_t* name;
        uint32_t current;
        uint32_t result;
        uint32_t reported;  // under the mask below
    };
    const uint32_t unknown = SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE;
    const Case cases[] = {
        {kPnPNotificationReader, 0, SCARD_S_SUCCESS, readerCount << 16 | SCARD_STATE_CHANGED},
        {kPnPNotificationReader, readerCount << 16, SCARD_E_TIMEOUT, 0},
        {kNoSuchReader, SCARD_STATE_EMPTY, SCARD_S_SUCCESS, unknown}};
    for (const Case& c : cases) {
        PcScReaderState states[2] = {Known(Context()), {}};
        states[1].szReader = c.name;
        states[1].dwCurrentState = c.current;
        EXPECT_EQ(Api().GetStatusChange(Context(), 200, states, 2), c.result) << c.current;
        if (c.result == SCARD_S_SUCCESS) {
            const uint32_t mask =
                c.name == kNoSuchReader ? unknown : 0xFFFF0000 | SCARD_STATE_CHANGED;
            EXPECT_EQ(states[1].dwEventState & mask, c.reported) << c.current;
            EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_EMPTY) << c.current;
        }
    }
}

// Whether the card in the reader is located by the masks: the maker's predefined mask ignores
// bytes 12, 13 and 23 and the high nibble of byte 10, nothing else.
TEST_P(PcScScenario, AtrLocationMatchesUnderTheMasksOnly) {
    if (const std::string lacking = Stack().Lacks("LocateCardsByATR"); !lacking.empty()) {
        GTEST_SKIP() << lacking;
    }
    const auto& a = kPredefinedAtr;
    const PcScAtrMask predefined = MaskOf(a, ZEPH_Helper::kPredefinedAtrMask);
    struct Case {
        const char* what;
        std::vector<uint8_t> card;
        std::vector<PcScAtrMask> masks;
        bool matches;
    };
    const Case cases[] = {
        {"predefined ATR", a, {MaskOf(a)}, true},
        {"foreign ATR", a, {MaskOf(With(a, {{5, a[5] ^ 0x10}}))}, false},
        {"ATR of another length", a, {MaskOf(With(a, {{24, 0}}))}, false},
        {"any of several masks", a, {MaskOf(With(a, {{0, 0x3F}})), MaskOf(a)}, true},
        {"maker's variant",
         With(a, {{10, a[10] ^ 0xF0}, {12, 0xA5}, {13, 0x5A}, {23, 1}}),
         {predefined},
         true},
        {"maker's mask, foreign card", With(a, {{11, a[11] ^ 0x01}}), {predefined}, false}};
    std::vector<uint8_t> inserted;
    for (const Case& c : cases) {
        if (c.card != inserted) {
            if (!inserted.empty()) {
                Stack().RemoveCard();
            }
            Stack().InsertCard(inserted = c.card);
        }
        PcScReaderState state{};
        state.szReader = Reader().c_str();
        ASSERT_EQ(Api().LocateCardsByATR(Context(), c.masks.data(),
                                         static_cast<uint32_t>(c.masks.size()), &state, 1),
                  SCARD_S_SUCCESS)
            << c.what;
        EXPECT_EQ((state.dwEventState & SCARD_STATE_ATRMATCH) != 0, c.matches) << c.what;
        EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT) << c.what;
    }
}

}  // namespace
