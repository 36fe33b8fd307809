// Sharing conflicts between two PC/SC contexts, as pcscd reports them to a client that set
// PCSCLITE_NO_BLOCKING (see StackFixture.h).
#include "StackFixture.h"

namespace realstack {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kSelectMaster = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};

using SharingTest = StackFixture;

TEST_F(SharingTest, ExclusiveConnectionShutsOutOtherContexts) {
    InsertCard();
    PcscContext other;
    PcscCard owner(Context(), ReaderName(), SCARD_SHARE_EXCLUSIVE);
    ASSERT_EQ(owner.Status(), SCARD_S_SUCCESS) << DescribeResult(owner.Status());

    EXPECT_EQ(PcscCard(other, ReaderName(), SCARD_SHARE_EXCLUSIVE).Status(),
              SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(PcscCard(other, ReaderName(), SCARD_SHARE_SHARED).Status(),
              SCARD_E_SHARING_VIOLATION);

    ASSERT_EQ(owner.Disconnect(), SCARD_S_SUCCESS);
    EXPECT_EQ(PcscCard(other, ReaderName(), SCARD_SHARE_EXCLUSIVE).Status(), SCARD_S_SUCCESS);
}

TEST_F(SharingTest, SharedConnectionsRefuseAnExclusiveOne) {
    InsertCard();
    PcscContext other;
    PcscCard first(Context(), ReaderName(), SCARD_SHARE_SHARED);
    PcscCard second(other, ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(first.Status(), SCARD_S_SUCCESS) << DescribeResult(first.Status());
    ASSERT_EQ(second.Status(), SCARD_S_SUCCESS) << DescribeResult(second.Status());

    EXPECT_EQ(PcscCard(other, ReaderName(), SCARD_SHARE_EXCLUSIVE).Status(),
              SCARD_E_SHARING_VIOLATION);
    DWORD protocol = 0;
    EXPECT_EQ(SCardReconnect(second.Handle(), SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1,
                             SCARD_LEAVE_CARD, &protocol),
              SCARD_E_SHARING_VIOLATION);
}

TEST_F(SharingTest, TransactionHoldsOffTransmitsOfOtherContexts) {
    InsertCard();
    PcscContext other;
    PcscCard holder(Context(), ReaderName(), SCARD_SHARE_SHARED);
    PcscCard waiter(other, ReaderName(), SCARD_SHARE_SHARED);
    ASSERT_EQ(holder.Status(), SCARD_S_SUCCESS) << DescribeResult(holder.Status());
    ASSERT_EQ(waiter.Status(), SCARD_S_SUCCESS) << DescribeResult(waiter.Status());
    Bytes response;

    ASSERT_EQ(SCardBeginTransaction(holder.Handle()), SCARD_S_SUCCESS);
    EXPECT_EQ(waiter.Transmit(kSelectMaster, response), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(holder.Transmit(kSelectMaster, response), SCARD_S_SUCCESS);

    ASSERT_EQ(SCardEndTransaction(holder.Handle(), SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(waiter.Transmit(kSelectMaster, response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, (Bytes{0x90, 0x00}));
}

}  // namespace
}  // namespace realstack
