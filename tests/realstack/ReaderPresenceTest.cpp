// Readers and card presence as pcscd with vpcd reports them.
#include <algorithm>

#include "StackFixture.h"

namespace realstack {
namespace {

using ReaderPresenceTest = StackFixture;

TEST_F(ReaderPresenceTest, ListsBothSlotsOfTheVpcdReader) {
    const std::vector<std::string> readers = Context().ListReaders();
    EXPECT_EQ(readers, (std::vector<std::string>{"Virtual PCD 00 00", "Virtual PCD 00 01"}));
}

TEST_F(ReaderPresenceTest, EmptySlotAndUnknownReader) {
    const SCARD_READERSTATE state = Context().CurrentState(ReaderName());
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_EMPTY);
    EXPECT_FALSE(state.dwEventState & SCARD_STATE_PRESENT);

    SCARD_READERSTATE unknown{};
    unknown.szReader = "No Such Reader 00 00";
    EXPECT_EQ(SCardGetStatusChange(Context().Handle(), 0, &unknown, 1), SCARD_E_UNKNOWN_READER);
}

TEST_F(ReaderPresenceTest, StatusChangeWakesOnInsertionAndRemoval) {
    SCARD_READERSTATE state = Context().CurrentState(ReaderName());
    ASSERT_TRUE(state.dwEventState & SCARD_STATE_EMPTY);
    const auto waitForChange = [&] {
        state.dwCurrentState = state.dwEventState;
        return SCardGetStatusChange(Context().Handle(), static_cast<DWORD>(kStateTimeout.count()),
                                    &state, 1);
    };

    VirtualCardProcess& card = StartCard();
    ASSERT_EQ(waitForChange(), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_CHANGED);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT);

    ASSERT_TRUE(card.Remove());
    ASSERT_EQ(waitForChange(), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_EMPTY);
    EXPECT_FALSE(state.dwEventState & SCARD_STATE_PRESENT);

    ASSERT_TRUE(card.Insert());
    ASSERT_EQ(waitForChange(), SCARD_S_SUCCESS);
    EXPECT_TRUE(state.dwEventState & SCARD_STATE_PRESENT);
}

TEST_F(ReaderPresenceTest, EachSlotHasItsOwnCard) {
    InsertCard({}, 1);
    EXPECT_TRUE(Context().CurrentState(ReaderName(1)).dwEventState & SCARD_STATE_PRESENT);
    EXPECT_TRUE(Context().CurrentState(ReaderName(0)).dwEventState & SCARD_STATE_EMPTY);
}

TEST_F(ReaderPresenceTest, RemovedCardInvalidatesConnectionUntilReconnect) {
    VirtualCardProcess& card = InsertCard();
    PcscCard connection(Context(), ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(connection.Status(), SCARD_S_SUCCESS) << DescribeResult(connection.Status());
    const std::vector<uint8_t> selectMaster = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    std::vector<uint8_t> response;

    ASSERT_TRUE(card.Remove());
    WaitForState(SCARD_STATE_EMPTY);
    EXPECT_EQ(connection.Transmit(selectMaster, response), SCARD_W_REMOVED_CARD);

    ASSERT_TRUE(card.Insert());
    WaitForState(SCARD_STATE_PRESENT);
    EXPECT_EQ(connection.Transmit(selectMaster, response), SCARD_W_REMOVED_CARD);

    DWORD protocol = 0;
    ASSERT_EQ(SCardReconnect(connection.Handle(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1,
                             SCARD_LEAVE_CARD, &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(connection.Transmit(selectMaster, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (std::vector<uint8_t>{0x90, 0x00}));
}

TEST_F(ReaderPresenceTest, CardEndingLeavesTheReaderEmpty) {
    VirtualCardProcess& byCommand = InsertCard();
    const auto quitStatus = byCommand.Quit();
    ASSERT_TRUE(quitStatus);
    EXPECT_EQ(DescribeWaitStatus(*quitStatus), "exited with 0");
    WaitForState(SCARD_STATE_EMPTY);

    VirtualCardProcess& bySignal = InsertCard();
    EXPECT_EQ(DescribeWaitStatus(bySignal.Stop()), "exited with 0");
    WaitForState(SCARD_STATE_EMPTY);
}

}  // namespace
}  // namespace realstack
