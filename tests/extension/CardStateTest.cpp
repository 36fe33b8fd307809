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

// A reader attribute into a guarded buffer: a vendor's only with a connected card, the module's
// own (the physical reader's name in the platform's narrow text and its terminator) always;
// written only with the room it needs, and never past it. One byte less gets nothing and keeps
// the host's length, except where the reader told the size needed. Null buffers are refused, and
// writing an attribute needs the card as well.
TEST(ReaderAttributes, ReadIntoTheRoomGivenOnly) {
    const uint32_t vendor = 0x00010100;
    const std::u16string kOther = u"\u041b\u0435\u0441\u0435\u0440 \u00c4";
    const struct {
        uint32_t id;
        std::u16string reader;  // connected; empty: none
        int room;               // beyond the value's size
        uint32_t status;
        bool learnsSize;
    } rows[] = {
        {vendor, u"", 12, ZEPH_STATUS_NOT_SUPPORTED, false},
        {vendor, ExtensionHarness::kReader, 0, ZEPH_STATUS_SUCCESS, true},
        {vendor, ExtensionHarness::kReader, -1, ZEPH_STATUS_NOT_SUPPORTED, true},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, u"", -1, ZEPH_STATUS_NOT_SUPPORTED, false},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, u"", 0, ZEPH_STATUS_SUCCESS, true},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, ExtensionHarness::kReader, -1, ZEPH_STATUS_NOT_SUPPORTED,
         false},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, ExtensionHarness::kReader, 0, ZEPH_STATUS_SUCCESS, true},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, kOther, -1, ZEPH_STATUS_NOT_SUPPORTED, false},
        {SCARD_ATTR_ZEPH_READER_ACTUAL, kOther, 0, ZEPH_STATUS_SUCCESS, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.id << " room " << row.room);
        ExtensionHarness h;
        h.simulator.SetAttribute(ExtensionHarness::kReader, vendor, {'A', 'C', 'M', 'E'});
        if (row.reader == kOther) {
            h.simulator.RemoveReader(ExtensionHarness::kReader);
            h.simulator.AddReader(kOther);
            h.simulator.InsertCard(kOther, kPredefinedAtr);
        }
        if (!row.reader.empty()) {
            h.ConnectThroughDiscovery();
        }
        const std::string value = row.id == vendor
                                      ? std::string("ACME")
                                      : zeph::platform::WideToNarrow(row.reader) + '\0';
        std::vector<uint8_t> buffer(value.size() + 16, 0xAA);
        const uint64_t capacity = value.size() + static_cast<uint64_t>(row.room);
        uint64_t length = capacity;
        EXPECT_EQ(h.extension->GetAttribute(row.id, buffer.data(), &length), row.status);
        EXPECT_EQ(length, row.learnsSize ? value.size() : capacity);
        std::vector<uint8_t> expected(buffer.size(), 0xAA);
        if (row.status == ZEPH_STATUS_SUCCESS) {
            std::copy(value.begin(), value.end(), expected.begin());
        }
        EXPECT_EQ(buffer, expected);
        if (row.id == vendor) {
            const uint8_t written[] = {'Z'};
            EXPECT_EQ(h.extension->SetAttribute(vendor, written, 1),
                      row.reader.empty() ? ZEPH_STATUS_NOT_SUPPORTED : ZEPH_STATUS_SUCCESS);
            EXPECT_EQ(h.extension->GetAttribute(vendor, nullptr, &length), ZEPH_E_POINTER);
            EXPECT_EQ(h.extension->SetAttribute(vendor, nullptr, 1), ZEPH_E_POINTER);
        }
    }
}
