// Calls on card handles: what removal, resets and released contexts do to them, and what the card
// and the reader answer.
#include <array>
#include <string>

#include "SimulatorFixture.h"

namespace {

constexpr uint32_t kAttrVendorName = 0x00010100;
constexpr uint32_t kAttrAtrString = 0x00090303;

class CardHandleTest : public SimulatorTest {
  protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    }
};

TEST_F(CardHandleTest, RemovedCardRefusesEveryCallUntilReconnectedToANewCard) {
    const ScardHandle card = MustConnect(SCARD_SHARE_EXCLUSIVE);
    ASSERT_TRUE(pcsc.RemoveCard(kReaderA));

    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_W_REMOVED_CARD);
    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_W_REMOVED_CARD);
    PcScMemory name;
    uint32_t state = 0;
    EXPECT_EQ(pcsc.Status(card, name, &state, nullptr, nullptr, nullptr), SCARD_W_REMOVED_CARD);
    EXPECT_EQ(state, SCARD_ABSENT);
    EXPECT_TRUE(name.Empty());
    uint32_t active = 0;
    EXPECT_EQ(
        pcsc.Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &active),
        SCARD_W_REMOVED_CARD);

    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));
    EXPECT_EQ(
        pcsc.Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &active),
        SCARD_S_SUCCESS);
    std::vector<uint8_t> response;
    EXPECT_EQ(Exchange(card, kSelectMasterFile, &response), SCARD_S_SUCCESS);
    EXPECT_EQ(response, kStatusOk);
}

TEST_F(CardHandleTest, ResetByAnotherConnectionIsReportedOnceToTheOthers) {
    const ScardHandle resetter = MustConnect(SCARD_SHARE_SHARED);
    const ScardHandle other = MustConnect(SCARD_SHARE_SHARED);
    uint32_t active = 0;
    ASSERT_EQ(
        pcsc.Reconnect(resetter, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_RESET_CARD, &active),
        SCARD_S_SUCCESS);

    EXPECT_EQ(Exchange(resetter, kSelectMasterFile), SCARD_S_SUCCESS);
    EXPECT_EQ(Exchange(other, kSelectMasterFile), SCARD_W_RESET_CARD);
    EXPECT_EQ(Exchange(other, kSelectMasterFile), SCARD_S_SUCCESS);

    ASSERT_TRUE(pcsc.ResetCard(kReaderA));
    EXPECT_EQ(Exchange(resetter, kSelectMasterFile), SCARD_W_RESET_CARD);
}

TEST_F(CardHandleTest, DisconnectResetsTheCardOnlyWhenAskedTo) {
    const ScardHandle watcher = MustConnect(SCARD_SHARE_SHARED);
    EXPECT_EQ(pcsc.Disconnect(MustConnect(SCARD_SHARE_SHARED), SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(Exchange(watcher, kSelectMasterFile), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.Disconnect(MustConnect(SCARD_SHARE_SHARED), SCARD_UNPOWER_CARD),
              SCARD_S_SUCCESS);
    EXPECT_EQ(Exchange(watcher, kSelectMasterFile), SCARD_W_RESET_CARD);

    EXPECT_EQ(pcsc.Disconnect(watcher, 9), SCARD_E_INVALID_VALUE);
    EXPECT_EQ(pcsc.Disconnect(watcher, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.Disconnect(watcher, SCARD_LEAVE_CARD), SCARD_E_INVALID_HANDLE);
}

TEST_F(CardHandleTest, ReleasedContextTakesItsHandlesAlong) {
    const ScardHandle card = MustConnect(SCARD_SHARE_EXCLUSIVE);
    ASSERT_EQ(pcsc.ReleaseContext(context), SCARD_S_SUCCESS);

    EXPECT_EQ(pcsc.IsValidContext(context), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(pcsc.ReleaseContext(context), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(pcsc.HoldExclusively(kReaderA), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.OpenContexts(), 0u);
}

TEST_F(CardHandleTest, RemovedReaderLeavesItsHandlesUnusable) {
    const ScardHandle card = MustConnect(SCARD_SHARE_SHARED);
    ASSERT_TRUE(pcsc.RemoveReader(kReaderA));
    ASSERT_TRUE(pcsc.AddReader(kReaderA));
    ASSERT_TRUE(pcsc.InsertCard(kReaderA, kAtr));

    EXPECT_EQ(Exchange(card, kSelectMasterFile), SCARD_E_READER_UNAVAILABLE);
    uint32_t active = 0;
    EXPECT_EQ(
        pcsc.Reconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &active),
        SCARD_E_READER_UNAVAILABLE);
    EXPECT_EQ(pcsc.Disconnect(card, SCARD_RESET_CARD), SCARD_S_SUCCESS);
}

TEST_F(CardHandleTest, StatusReportsReaderStateProtocolAndAtr) {
    const ScardHandle card = MustConnect(SCARD_SHARE_EXCLUSIVE);
    PcScMemory name;
    uint32_t state = 0;
    uint32_t protocol = 0;
    std::array<uint8_t, 36> atr{};
    uint32_t atrLength = 4;
    EXPECT_EQ(pcsc.Status(card, name, &state, &protocol, atr.data(), &atrLength),
              SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(atrLength, kAtr.size());
    EXPECT_TRUE(name.Empty());

    atrLength = static_cast<uint32_t>(atr.size());
    ASSERT_EQ(pcsc.Status(card, name, &state, &protocol, atr.data(), &atrLength), SCARD_S_SUCCESS);
    EXPECT_EQ(state, SCARD_SPECIFIC);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(std::vector<uint8_t>(atr.begin(), atr.begin() + atrLength), kAtr);
    ASSERT_FALSE(name.Empty());
    EXPECT_EQ(std::u16string(name.Text(), name.Length()), std::u16string(kReaderA) + u'\0' + u'\0');
}

TEST_F(CardHandleTest, DefaultCardAnswersLikeTheVirtualCard) {
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    const std::vector<uint8_t> contents = {0x01, 0x02, 0x03};
    ASSERT_TRUE(pcsc.InsertCard(kReaderB, sim::SimCard{.atr = kAtr,
                                                       .responder = sim::VirtualCardResponder(
                                                           {{0x2F02, contents}}, 0x6E00)}));
    ScardHandle card = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_SHARED, card, SCARD_PROTOCOL_T1, kReaderB), SCARD_S_SUCCESS);

    std::vector<uint8_t> response;
    EXPECT_EQ(Exchange(card, {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x01}, &response), 0u);
    EXPECT_EQ(response, (std::vector<uint8_t>{0x6A, 0x82}));
    EXPECT_EQ(Exchange(card, {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x2F, 0x02}, &response), 0u);
    EXPECT_EQ(response, kStatusOk);
    EXPECT_EQ(Exchange(card, {0x00, 0xB0, 0x00, 0x00, 0x03}, &response), 0u);
    EXPECT_EQ(response, (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x90, 0x00}));
    EXPECT_EQ(Exchange(card, {0x80, 0xCA, 0x00, 0x00, 0x00}, &response), 0u);
    EXPECT_EQ(response, (std::vector<uint8_t>{0x6E, 0x00}));

    const ScardHandle plain = MustConnect(SCARD_SHARE_SHARED);
    EXPECT_EQ(Exchange(plain, kSelectMasterFile, &response), 0u);
    EXPECT_EQ(response, kStatusOk);
    EXPECT_EQ(Exchange(plain, {0x80, 0xCA, 0x00, 0x00, 0x00}, &response), 0u);
    EXPECT_EQ(response, (std::vector<uint8_t>{0x6D, 0x00}));
}

TEST_F(CardHandleTest, TransmitChecksProtocolAndReceiveCapacity) {
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    ASSERT_TRUE(pcsc.InsertCard(
        kReaderB, sim::SimCard{.atr = kAtr, .responder = sim::RespondWith([](auto) {
                                                return std::vector<uint8_t>{1, 2, 3, 0x90, 0x00};
                                            })}));
    ScardHandle card = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_SHARED, card, SCARD_PROTOCOL_T1, kReaderB), SCARD_S_SUCCESS);

    const PcScIoRequest t0{SCARD_PROTOCOL_T0, sizeof(PcScIoRequest)};
    const PcScIoRequest t1{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    PcScIoRequest received{};
    std::array<uint8_t, 8> buffer{};
    uint32_t length = 4;
    EXPECT_EQ(
        pcsc.Transmit(card, &t0, kSelectMasterFile.data(), 7, &received, buffer.data(), &length),
        SCARD_E_PROTO_MISMATCH);
    EXPECT_EQ(
        pcsc.Transmit(card, &t1, kSelectMasterFile.data(), 7, &received, buffer.data(), &length),
        SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(
        pcsc.Transmit(card, &t1, kSelectMasterFile.data(), 7, &received, buffer.data(), &length),
        SCARD_S_SUCCESS);
    EXPECT_EQ(received.dwProtocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(pcsc.Transmit(card, &t1, nullptr, 0, &received, buffer.data(), &length),
              SCARD_E_INVALID_PARAMETER);
}

TEST_F(CardHandleTest, ControlReachesTheReaderWithoutACard) {
    ASSERT_TRUE(pcsc.AddReader(kReaderB));
    const uint32_t firmwareCode = pcsc.ControlCode(55);
    EXPECT_EQ(firmwareCode, 0x3100DCu);
    ASSERT_TRUE(pcsc.SetControlResponder(
        kReaderB, [firmwareCode](uint32_t code, std::span<const uint8_t> input) {
            if (code != firmwareCode) {
                return sim::ControlAnswer{SCARD_E_UNSUPPORTED_FEATURE, {}};
            }
            return sim::ControlAnswer{SCARD_S_SUCCESS,
                                      std::vector<uint8_t>(input.rbegin(), input.rend())};
        }));
    ScardHandle direct = 0;
    ASSERT_EQ(Connect(SCARD_SHARE_DIRECT, direct, 0, kReaderB), SCARD_S_SUCCESS);

    const std::array<uint8_t, 3> input = {1, 2, 3};
    std::array<uint8_t, 3> output{};
    uint32_t returned = 99;
    EXPECT_EQ(pcsc.Control(direct, firmwareCode, input.data(), 3, output.data(), 2, &returned),
              SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    ASSERT_EQ(pcsc.Control(direct, firmwareCode, input.data(), 3, output.data(), 3, &returned),
              SCARD_S_SUCCESS);
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(output, (std::array<uint8_t, 3>{3, 2, 1}));
    EXPECT_EQ(
        pcsc.Control(direct, pcsc.ControlCode(1), input.data(), 3, output.data(), 3, &returned),
        SCARD_E_UNSUPPORTED_FEATURE);

    const ScardHandle onReaderA = MustConnect(SCARD_SHARE_SHARED);
    EXPECT_EQ(pcsc.Control(onReaderA, firmwareCode, input.data(), 3, output.data(), 3, &returned),
              SCARD_E_UNSUPPORTED_FEATURE);
}

TEST_F(CardHandleTest, AttributesComeFromTheReaderTable) {
    const std::vector<uint8_t> vendor = {'A', 'C', 'M', 'E'};
    ASSERT_TRUE(pcsc.SetAttribute(kReaderA, kAttrVendorName, vendor));
    const ScardHandle card = MustConnect(SCARD_SHARE_SHARED);

    uint32_t length = 0;
    ASSERT_EQ(pcsc.GetAttrib(card, kAttrVendorName, nullptr, &length), SCARD_S_SUCCESS);
    EXPECT_EQ(length, 4u);
    std::array<uint8_t, 36> buffer{};
    length = 3;
    EXPECT_EQ(pcsc.GetAttrib(card, kAttrVendorName, buffer.data(), &length),
              SCARD_E_INSUFFICIENT_BUFFER);
    length = static_cast<uint32_t>(buffer.size());
    ASSERT_EQ(pcsc.GetAttrib(card, kAttrAtrString, buffer.data(), &length), SCARD_S_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + length), kAtr);

    const std::array<uint8_t, 2> renamed = {'Z', 'Y'};
    EXPECT_EQ(pcsc.SetAttrib(card, kAttrVendorName, renamed.data(), 2), SCARD_S_SUCCESS);
    length = static_cast<uint32_t>(buffer.size());
    ASSERT_EQ(pcsc.GetAttrib(card, kAttrVendorName, buffer.data(), &length), SCARD_S_SUCCESS);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(buffer[0], 'Z');

    EXPECT_EQ(pcsc.GetAttrib(card, 0x0007AA01, buffer.data(), &length),
              SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(pcsc.SetAttrib(card, 0x0007AA01, renamed.data(), 2), SCARD_E_UNSUPPORTED_FEATURE);
}

}  // namespace
