// Card state, the wait for the card's removal, and reader attributes, over the simulator.
#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"
#include "platform/TextConversion.h"

using sim::Call;

// What ends the wait for the removal: the removal itself (also after an error of the wait or of
// the state query, retried after a pause), a Cancel, a state query that finds the card gone, or a
// wait that finds the reader gone.
TEST(RemovalWait, EndsByRemovalCancelOrAFailingStateQuery) {
    enum End { kRemoval, kCancel, kStateQueryFailsTwice, kWaitFailsOnce, kReaderGone };
    const struct {
        End end;
        std::vector<uint32_t> pauses;
        bool contextKept;
    } rows[] = {{kRemoval, {}, true},
                {kCancel, {}, false},
                {kStateQueryFailsTwice, {50}, true},
                {kWaitFailsOnce, {100}, true},
                {kReaderGone, {}, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.end);
        ExtensionHarness h;
        h.ConnectThroughDiscovery();
        if (row.end == kWaitFailsOnce || row.end == kReaderGone) {
            h.simulator.InjectResults(
                Call::GetStatusChange,
                {row.end == kReaderGone ? SCARD_E_READER_UNAVAILABLE : SCARD_F_COMM_ERROR});
        }
        std::future<uint32_t> removal = h.Async([&h] { return h.extension->IsAbsent(); });
        if (row.end != kReaderGone) {
            ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
            EXPECT_TRUE(h.access.IsAccessAllowed());
        }
        if (row.end == kCancel) {
            h.extension->Cancel();
        } else if (row.end == kStateQueryFailsTwice) {
            h.simulator.InjectResults(Call::Status, {SCARD_F_COMM_ERROR, SCARD_F_COMM_ERROR});
            EXPECT_EQ(h.State(), std::make_tuple(ZEPH_STATUS_SUCCESS, SCARD_ABSENT, 0u));
            EXPECT_EQ(h.simulator.CallCount(Call::Reconnect), 1u);
        } else if (row.end != kReaderGone) {
            h.simulator.RemoveCard(ExtensionHarness::kReader);
        }
        // Not Finish: a Cancel that no longer reaches the wait would leave it hanging.
        if (removal.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the removal wait did not end";
            h.simulator.RemoveCard(ExtensionHarness::kReader);
        }
        EXPECT_EQ(removal.get(), ZEPH_STATUS_SUCCESS);
        if (row.end != kCancel) {  // the Cancel and the wait race to disconnect
            EXPECT_EQ(h.simulator.Journal(Call::Disconnect).at(0).disposition, SCARD_UNPOWER_CARD);
        }
        EXPECT_EQ(h.access.Card(), 0u);
        EXPECT_FALSE(h.access.IsAccessAllowed());
        EXPECT_EQ(h.simulator.OpenConnections(), 0u);
        EXPECT_EQ(h.simulator.OpenContexts(), row.contextKept ? 1u : 0u);
        EXPECT_EQ(h.access.Context() != 0, row.contextKept);
        EXPECT_EQ(h.sleeper.Pauses(), row.pauses);
    }
}

// A reader attribute into a guarded buffer: read only with a connected card, written only with
// the room it needs (one byte less gets nothing and learns the size needed); null buffers are
// refused, and writing one needs the card as well.
TEST(ReaderAttributes, ReadIntoTheRoomGivenOnTheConnectedReaderOnly) {
    const uint32_t vendor = 0x00010100;
    const uint8_t value[] = {'Z'};
    const struct {
        bool connected;
        uint64_t capacity;
        uint32_t status;
        std::string read;  // the bytes, or for a failed read the length the host learns
    } rows[] = {
        {false, 16, ZEPH_STATUS_NOT_SUPPORTED, "16"},
        {true, 4, ZEPH_STATUS_SUCCESS, "ACME"},
        {true, 3, ZEPH_STATUS_NOT_SUPPORTED, "4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.capacity);
        ExtensionHarness h;
        h.simulator.SetAttribute(ExtensionHarness::kReader, vendor, {'A', 'C', 'M', 'E'});
        if (row.connected) {
            h.ConnectThroughDiscovery();
        }
        std::string buffer(16, '\0');
        uint64_t length = row.capacity;
        EXPECT_EQ(
            h.extension->GetAttribute(vendor, reinterpret_cast<uint8_t*>(buffer.data()), &length),
            row.status);
        EXPECT_EQ(row.status == 0 ? buffer.substr(0, length) : std::to_string(length), row.read);
        const size_t written = row.status == 0 ? length : 0;
        EXPECT_EQ(buffer.substr(written), std::string(16 - written, '\0'));  // nothing past it
        EXPECT_EQ(h.extension->SetAttribute(vendor, value, 1),
                  row.connected ? ZEPH_STATUS_SUCCESS : ZEPH_STATUS_NOT_SUPPORTED);
        EXPECT_EQ(h.extension->GetAttribute(vendor, nullptr, &length), ZEPH_E_POINTER);
        EXPECT_EQ(h.extension->SetAttribute(vendor, nullptr, 1), ZEPH_E_POINTER);
    }
}

// The module's own attribute, the physical reader's name: written only with room for the name in
// the platform's narrow text and its terminator, and never past that.
TEST(ReaderAttributes, OwnAttributeNeedsRoomForTheConvertedNameAndItsTerminator) {
    for (const std::u16string& reader :
         {std::u16string(), std::u16string(u"Sim Reader 0"),
          std::u16string(u"\u041b\u0435\u0441\u0435\u0440 \u00c4")}) {
        ExtensionHarness h;
        if (!reader.empty()) {
            h.simulator.RemoveReader(ExtensionHarness::kReader);
            h.simulator.AddReader(reader);
            h.simulator.InsertCard(reader, kPredefinedAtr);
            h.ConnectThroughDiscovery();
        }
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
