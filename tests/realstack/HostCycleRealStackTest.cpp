// The host's cycle on the real module and the real stack: IsPresent waiting for the insertion,
// the exchange while IsAbsent waits on a second thread, the removal, Cancel and power down. The
// fixture's own pcsc-lite context plays another application on the same reader.
#include "HostStackFixture.h"
#include "TestCards.h"
#include "VcardOptions.h"

namespace hostrealstack {
namespace {

using realstack::PcscCard;
using realstack::VirtualCardProcess;

const Bytes kSelectFile2F01 = {0x00, 0xA4, 0x02, 0x0C, 0x02, 0x2F, 0x01};
const Bytes kReadBinary5 = {0x00, 0xB0, 0x00, 0x00, 0x05};
const Bytes kStatusOk = {0x90, 0x00};
constexpr uint32_t kProtocolT1 = 2;
constexpr uint32_t kCardAbsent = 1;
constexpr uint32_t kCardSpecific = 6;

class HostCycleRealStackTest : public HostStackFixture {
  protected:
    Bytes ReaderNameWithZero() const {
        const std::string& name = ReaderName();
        Bytes bytes(name.begin(), name.end());
        bytes.push_back(0);
        return bytes;
    }
    LONG ConnectElsewhere() const {
        return PcscCard(Context(), ReaderName(), SCARD_SHARE_SHARED).Status();
    }
    // A cold reset with the host's 36-byte buffer; the response is the ATR written.
    TransmitAnswer ColdReset() {
        uint8_t atr[36] = {};
        uint32_t atrLength = sizeof(atr);
        TransmitAnswer answer;
        answer.status = Object().Power(ZEPH_POWER_COLD_RESET, atr, &atrLength);
        answer.response.assign(atr, atr + (atrLength < sizeof(atr) ? atrLength : sizeof(atr)));
        return answer;
    }
};

TEST_F(HostCycleRealStackTest, IsPresentConnectsTheInsertedCardExclusivelyWithItsAtrAndT1) {
    VirtualCardProcess* card = nullptr;
    const PresentAnswer present = ConnectCard(card);

    EXPECT_EQ(present.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(present.atr, vcard::DefaultAtr());
    EXPECT_EQ(present.protocol, kProtocolT1);
    EXPECT_EQ(ConnectElsewhere(), SCARD_E_SHARING_VIOLATION) << "not held exclusively";
    const TransmitAnswer reader = ActualReader();
    EXPECT_EQ(reader.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(reader.response, ReaderNameWithZero());
}

TEST_F(HostCycleRealStackTest, CommandsReachTheCardWhileIsAbsentWaits) {
    VirtualCardProcess* card = nullptr;
    realstack::VirtualCardOptions options;
    options.files = {"2F01=48656C6C6F"};
    const PresentAnswer present = ConnectCard(card, options);
    ASSERT_EQ(present.status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    const TransmitAnswer selected = Transmit(kSelectMasterFile, present.protocol);
    EXPECT_EQ(selected.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(selected.response, kStatusOk);
    EXPECT_TRUE(card->WaitForEvent("apdu 00A4000C023F00 9000")) << "the card never saw SELECT";
    EXPECT_EQ(Transmit(kSelectFile2F01, present.protocol).response, kStatusOk);
    const TransmitAnswer read = Transmit(kReadBinary5, present.protocol);
    EXPECT_EQ(read.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(read.response, (Bytes{'H', 'e', 'l', 'l', 'o', 0x90, 0x00}));

    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(Object().GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, kCardSpecific);
    EXPECT_EQ(protocol, kProtocolT1);
    EXPECT_FALSE(absent->Returned()) << "IsAbsent returned with the card still inside";
}

TEST_F(HostCycleRealStackTest, RemovalEndsIsAbsentAndTheNextCycleConnectsAgain) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    ASSERT_TRUE(card->Remove());
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after the removal";
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(Object().GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, kCardAbsent);
    EXPECT_NE(Transmit(kSelectMasterFile, kProtocolT1).status, ZEPH_STATUS_SUCCESS);

    const PresentAnswer again = ConnectCard(card);
    EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(again.atr, vcard::DefaultAtr());
    EXPECT_EQ(Transmit(kSelectMasterFile, again.protocol).response, kStatusOk);
}

// The host starts IsAbsent on its second thread while its first thread resets the card: the first
// cold reset is already under way (card powered down) when IsAbsent begins, the later ones come
// while it waits. Each reset needs the gate IsAbsent opens, and none may look like a removal.
TEST_F(HostCycleRealStackTest, ColdResetsAroundTheStartOfIsAbsentKeepTheCardUntilItIsRemoved) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    ASSERT_EQ(Transmit(kSelectMasterFile, kProtocolT1).status, ZEPH_STATUS_SUCCESS);
    ASSERT_TRUE(card->WaitForEvent("apdu 00A4000C023F00 9000"));  // later events: the resets'

    BackgroundCall<TransmitAnswer> first([this] { return ColdReset(); },
                                         [this] { Object().Cancel(); });
    ASSERT_TRUE(card->WaitForEvent("power-off")) << "the cold reset did not power the card down";
    auto absent = StartIsAbsent();
    const std::optional<TransmitAnswer> reset = first.Get(kCallTimeout);
    ASSERT_TRUE(reset) << "the first cold reset did not return";
    EXPECT_EQ(reset->status, ZEPH_STATUS_SUCCESS) << "the first cold reset lost the card";
    EXPECT_EQ(reset->response, vcard::DefaultAtr());
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    for (int round = 1; round <= 3; ++round) {
        const TransmitAnswer again = ColdReset();
        EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS) << "cold reset " << round;
        EXPECT_EQ(again.response, vcard::DefaultAtr()) << "cold reset " << round;
        EXPECT_EQ(Transmit(kSelectMasterFile, kProtocolT1).response, kStatusOk)
            << "after cold reset " << round;
    }
    EXPECT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent stopped waiting";
    EXPECT_FALSE(absent->Returned()) << "IsAbsent took a cold reset for a removal";
    ASSERT_TRUE(card->Remove());
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after the removal";
}

TEST_F(HostCycleRealStackTest, CancelEndsAWaitingIsPresentWithPending) {
    auto present = StartIsPresent();
    ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent never waited";

    Object().Cancel();
    const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
    ASSERT_TRUE(answer) << "IsPresent did not return after Cancel";
    EXPECT_EQ(answer->status, ZEPH_STATUS_PENDING);
}

// The host makes one object for each of its virtual readers: Cancel on one of them ends that
// object's wait alone, and with STATUS_PENDING, whatever the other objects hold.
TEST_F(HostCycleRealStackTest, CancelEndsIsPresentOfItsOwnObjectBesideAnotherObject) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";
    ASSERT_TRUE(card->Remove());
    ASSERT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS));

    for (int round = 0; round < 20; ++round) {
        const ObjectPtr other = NewObject();
        ASSERT_NE(other, nullptr);
        auto present = StartIsPresent(*other);
        ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "round " << round;
        other->Cancel();
        const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
        ASSERT_TRUE(answer) << "IsPresent did not return after Cancel in round " << round;
        EXPECT_EQ(answer->status, ZEPH_STATUS_PENDING) << "round " << round;
    }
}

TEST_F(HostCycleRealStackTest, CancelEndsAWaitingIsAbsentAndLetsTheCardGo) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    Object().Cancel();
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after Cancel";
    EXPECT_EQ(ConnectElsewhere(), SCARD_S_SUCCESS) << "the card stayed held after Cancel";
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(Object().GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, kCardAbsent) << "the object still claims a connection";
}

TEST_F(HostCycleRealStackTest, PowerDownLetsTheCardGo) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    ASSERT_EQ(ConnectElsewhere(), SCARD_E_SHARING_VIOLATION);
    // Later event searches see only what follows this command: pcscd powers cards off and on
    // by itself at insertion.
    ASSERT_EQ(Transmit(kSelectMasterFile, kProtocolT1).status, ZEPH_STATUS_SUCCESS);
    ASSERT_TRUE(card->WaitForEvent("apdu 00A4000C023F00 9000"));

    uint8_t atr[36] = {};
    uint32_t atrLength = sizeof(atr);
    EXPECT_EQ(Object().Power(ZEPH_POWER_DOWN, atr, &atrLength), ZEPH_STATUS_SUCCESS);
    EXPECT_TRUE(card->WaitForEvent("power-off")) << "the card was not powered down";
    EXPECT_EQ(ConnectElsewhere(), SCARD_S_SUCCESS);
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(Object().GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, kCardAbsent) << "the object still claims a connection";
}

}  // namespace
}  // namespace hostrealstack
