// Card state, the wait for the card's removal, and reader attributes, over the simulator.
#include <future>
#include <stdexcept>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"
#include "platform/TextConversion.h"

using sim::Call;

namespace {

void ConnectThroughDiscovery(ExtensionHarness& h) {
    ASSERT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr), ZEPH_STATUS_SUCCESS);
    h.simulator.ClearJournal();
    h.traces.Clear();
}

std::future<uint32_t> StartRemovalWait(ExtensionHarness& h) {
    return std::async(std::launch::async, [&h] { return h.extension->IsAbsent(); });
}

}  // namespace

TEST(RemovalWait, WithoutACardReturnsAtOnceAndLeavesTheGateClosed) {
    ExtensionHarness h;
    EXPECT_EQ(h.extension->IsAbsent(), ZEPH_STATUS_SUCCESS);
    EXPECT_FALSE(h.access.IsAccessAllowed());
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(RemovalWait, RemovalEndsItWithAnUnpoweredDisconnect) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    std::future<uint32_t> removal = StartRemovalWait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    EXPECT_TRUE(h.access.IsAccessAllowed());
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    EXPECT_EQ(removal.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_UNPOWER_CARD);
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_TRUE(h.access.ReaderName().empty());
    EXPECT_FALSE(h.access.IsAccessAllowed());
}

TEST(RemovalWait, CancelEndsItAndReleasesEverything) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    std::future<uint32_t> removal = StartRemovalWait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.extension->Cancel();
    EXPECT_EQ(removal.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.Card(), 0u);
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    EXPECT_TRUE(h.simulator.Connections().empty());
}

TEST(RemovalWait, OtherErrorsAreRetriedAfterAPause) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    h.simulator.InjectResults(Call::GetStatusChange, {SCARD_F_COMM_ERROR});
    std::future<uint32_t> removal = StartRemovalWait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    EXPECT_EQ(removal.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.sleeper.Pauses(), std::vector<uint32_t>{100});
}

TEST(CardState, WithoutACardIsAbsentWithProtocolZero) {
    ExtensionHarness h;
    uint32_t state = 99;
    uint32_t protocol = 99;
    EXPECT_EQ(h.extension->GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, SCARD_ABSENT);
    EXPECT_EQ(protocol, 0u);
    EXPECT_EQ(h.extension->GetState(nullptr, nullptr), ZEPH_STATUS_SUCCESS);
    EXPECT_TRUE(h.Traced(TRACE_DETAIL,
                         "CZephExtensionPcSc::GetState::Aktueller Status des Lesers ist <ABSENT>"));
}

TEST(CardState, ConnectedCardReportsItsStateProtocolAndReader) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(h.extension->GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, SCARD_SPECIFIC);
    EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);
    EXPECT_TRUE(h.Traced(TRACE_DETAIL,
                         "CZephExtensionPcSc::GetState::Aktueller Status des Lesers "
                         "<Sim Reader 0> ist <SPECIFIC> mit Protokoll <T1>"));
    EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
}

TEST(CardState, StatusFailingTwiceReportsAbsentAndWakesTheRemovalWait) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    std::future<uint32_t> removal = StartRemovalWait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.simulator.InjectResults(Call::Status, {SCARD_F_COMM_ERROR, SCARD_F_COMM_ERROR});
    uint32_t state = 0;
    uint32_t protocol = 99;
    EXPECT_EQ(h.extension->GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(state, SCARD_ABSENT);
    EXPECT_EQ(protocol, 0u);
    EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 1u);
    EXPECT_EQ(h.sleeper.Pauses(), std::vector<uint32_t>{50});
    EXPECT_EQ(removal.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.Card(), 0u);
}

TEST(ReaderAttributes, ReadAndWrittenOnTheConnectedReaderOnly) {
    ExtensionHarness h;
    h.simulator.SetAttribute(ExtensionHarness::kReader, 0x00010100, {'A', 'C', 'M', 'E'});
    uint8_t buffer[16] = {};
    uint64_t length = sizeof(buffer);
    EXPECT_EQ(h.extension->GetAttribute(0x00010100, buffer, &length), ZEPH_STATUS_NOT_SUPPORTED);
    const uint8_t value[] = {'Z'};
    EXPECT_EQ(h.extension->SetAttribute(0x00010100, value, 1), ZEPH_STATUS_NOT_SUPPORTED);

    ConnectThroughDiscovery(h);
    EXPECT_EQ(h.extension->GetAttribute(0x00010100, buffer, &length), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(std::string(buffer, buffer + length), "ACME");
    EXPECT_EQ(h.extension->SetAttribute(0x00010100, value, 1), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.extension->GetAttribute(0x7FFF0001, buffer, &length), ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::GetAttribute::SCardGetAttrib lieferte "
                         "Fehler <Code 0x80100022>!"));
}

TEST(ReaderAttributes, OwnAttributeNeedsRoomForTheConvertedNameAndItsTerminator) {
    for (const std::u16string& reader :
         {std::u16string(u"Sim Reader 0"),
          std::u16string(u"\u041b\u0435\u0441\u0435\u0440 \u00c4")}) {
        ExtensionHarness h;
        h.simulator.RemoveReader(ExtensionHarness::kReader);
        h.simulator.AddReader(reader);
        h.simulator.InsertCard(reader, kPredefinedAtr);
        ConnectThroughDiscovery(h);
        const std::string narrow = zeph::platform::WideToNarrow(reader);
        std::vector<uint8_t> buffer(narrow.size() + 8, 0xAA);
        uint64_t length = narrow.size();
        EXPECT_EQ(h.extension->GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, buffer.data(), &length),
                  ZEPH_STATUS_NOT_SUPPORTED);
        EXPECT_EQ(buffer[0], 0xAA);
        length = narrow.size() + 1;
        EXPECT_EQ(h.extension->GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, buffer.data(), &length),
                  ZEPH_STATUS_SUCCESS);
        EXPECT_EQ(length, narrow.size() + 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), narrow);
        EXPECT_EQ(buffer[narrow.size() + 1], 0xAA);
    }
}

TEST(CardState, ExceptionAfterAFailedQueryReturnsThatQuerysResult) {
    ExtensionHarness h;
    ConnectThroughDiscovery(h);
    h.access.OpenGate();  // the failed query is followed by a reconnection and a second query
    h.simulator.InjectResults(Call::Status, {SCARD_F_COMM_ERROR});
    int queries = 0;
    h.pcsc.onStatus = [&queries] {
        if (++queries == 2) {
            throw std::runtime_error("fault inside the platform");
        }
    };
    EXPECT_EQ(h.extension->GetState(nullptr, nullptr), SCARD_F_COMM_ERROR);
    EXPECT_TRUE(h.Traced(TRACE_EXCEPTION,
                         "CZephExtensionPcSc::GetState::Std::Exception gefangen! "
                         "<fault inside the platform>"));
}

// A buffer too small for a reader attribute: the host learns the size needed, and nothing is
// written.
TEST(ReaderAttributes, TooSmallBufferLearnsTheSizeNeeded) {
    ExtensionHarness h;
    h.simulator.SetAttribute(ExtensionHarness::kReader, 0x00010100, {'A', 'C', 'M', 'E'});
    ConnectThroughDiscovery(h);
    uint8_t buffer[8] = {};
    uint64_t length = 2;
    EXPECT_EQ(h.extension->GetAttribute(0x00010100, buffer, &length), ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buffer[0], 0);
}
