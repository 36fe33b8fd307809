// The wait for a card, by host scenario, over the simulator.
#include <cstring>
#include <future>
#include <thread>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

namespace {

const std::vector<uint8_t> kForeignAtr = {0x3B, 0x02, 0x14, 0x50};

// IsPresent on its own thread, as the host runs it.
struct PresenceWait {
    explicit PresenceWait(ExtensionHarness& h, std::u16string manual = u"")
        : m_harness(h), m_manual(std::move(manual)) {
        result = std::async(std::launch::async, [this, &h] {
            return h.extension->IsPresent(AsHostText(m_manual), atr.data(), &atrLength, &protocol);
        });
    }
    static const ZephWChar* AsHostText(const std::u16string& text) {
        static_assert(sizeof(ZephWChar) == sizeof(char16_t));
        return reinterpret_cast<const ZephWChar*>(text.c_str());
    }
    // A test that stops early must not leave the wait behind.
    ~PresenceWait() {
        if (result.valid() &&
            result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            m_harness.extension->Cancel();
        }
    }
    uint32_t Get() { return result.get(); }

    ExtensionHarness& m_harness;
    std::u16string m_manual;
    std::array<uint8_t, 36> atr{};
    uint64_t atrLength = 36;
    uint32_t protocol = 0;
    std::future<uint32_t> result;
};

size_t CountLines(const ExtensionHarness& h, const std::string& text) {
    size_t count = 0;
    for (const TraceLine& line : h.traces.Lines()) {
        count += line.text == Latin1(text) ? 1u : 0u;
    }
    return count;
}

}  // namespace

TEST(ReaderDiscovery, CardInAReaderIsConnectedExclusivelyWithItsAtrAndT1) {
    ExtensionHarness h;
    PresenceWait wait(h);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(wait.atr.begin(), wait.atr.begin() + wait.atrLength),
              kPredefinedAtr);
    EXPECT_EQ(wait.protocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(h.access.ReaderName(), ExtensionHarness::kReader);
    EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
}

TEST(ReaderDiscovery, ReaderArrivingLaterStartsANewListing) {
    ExtensionHarness h;
    h.simulator.RemoveReader(ExtensionHarness::kReader);
    PresenceWait wait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.simulator.AddReader(u"Later Reader");
    h.simulator.InsertCard(u"Later Reader", kPredefinedAtr);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), u"Later Reader");
    EXPECT_EQ(CountLines(h,
                         "CZephExtensionPcSc::IsPresent::SCardListReaders konnte keinen Leser "
                         "finden!"),
              1u);
    EXPECT_GE(CountLines(h,
                         "CZephExtensionPcSc::IsPresent::SCardGetStatusChange lieferte <1> "
                         "neue(n) Leser!"),
              1u);
    EXPECT_GE(h.simulator.CallCount(Call::ListReaders), 2u);
}

TEST(ReaderDiscovery, MakersVirtualReadersAreIgnoredByNameRange) {
    ExtensionHarness h;
    h.simulator.RemoveReader(ExtensionHarness::kReader);
    const std::u16string virtualReader = u"TALPO Virtueller SmartCard Leser 0";
    const std::u16string lookalike = u"TALPO Virtueller SmartCard LeserX";
    h.simulator.AddReader(virtualReader);
    h.simulator.InsertCard(virtualReader, kPredefinedAtr);
    h.simulator.AddReader(lookalike);
    h.simulator.InsertCard(lookalike, kPredefinedAtr);
    PresenceWait wait(h);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), lookalike);
    EXPECT_TRUE(h.Traced(TRACE_INFO,
                         "CZephExtensionPcSc::IsPresent::ZEPH-Leser <TALPO Virtueller "
                         "SmartCard Leser 0> erkannt"));
    for (const sim::JournalEntry& connect : h.simulator.Journal(Call::Connect)) {
        EXPECT_NE(connect.reader, virtualReader);
    }
}

TEST(ReaderDiscovery, ForeignCardIsReportedOnceAndRetriedOnlyAfterItsReaderChanged) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.simulator.InsertCard(ExtensionHarness::kReader, kForeignAtr);
    h.simulator.AddReader(u"Other Reader");
    PresenceWait wait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(1));
    h.simulator.InsertCard(u"Other Reader", kForeignAtr);  // a change elsewhere wakes the wait
    ASSERT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(2));
    EXPECT_EQ(CountLines(h,
                         "CZephExtensionPcSc::IsPresent::Der Leser <Sim Reader 0> hat eine "
                         "Karte mit fremden ATR. Es wird keine Verbindung hergestellt!"),
              1u);
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), ExtensionHarness::kReader);
}

TEST(ReaderDiscovery, AtrDifferingOnlyInIgnoredBytesMatches) {
    ExtensionHarness h;
    std::vector<uint8_t> variant = kPredefinedAtr;
    variant[10] ^= 0xF0;
    variant[12] = 0x55;
    variant[13] = 0x66;
    variant[23] = 0x00;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.simulator.InsertCard(ExtensionHarness::kReader, variant);
    PresenceWait wait(h);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
}

TEST(ReaderDiscovery, ManualReaderIsMatchedWithoutRegardToCase) {
    ExtensionHarness h;
    h.simulator.AddReader(u"Second Reader");
    h.simulator.InsertCard(u"Second Reader", kPredefinedAtr);
    PresenceWait wait(h, u"SECOND reader");
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), u"Second Reader");
    EXPECT_TRUE(h.Traced(TRACE_DETAIL,
                         "CZephExtensionPcSc::IsPresent::Manuelle Lesereinstellung "
                         "ist aktiviert <SECOND reader>"));
}

TEST(ReaderDiscovery, ReaderHeldExclusivelyIsReportedOncePerStateChange) {
    ExtensionHarness h;
    std::vector<std::vector<uint8_t>> records;
    h.extension->m_pfnNotify = [](const ZephNotification* record, void* context) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(record);
        static_cast<std::vector<std::vector<uint8_t>>*>(context)->emplace_back(
            bytes, bytes + sizeof(ZephNotification));
    };
    h.extension->m_pNotifyContext = &records;
    ASSERT_EQ(h.simulator.HoldExclusively(ExtensionHarness::kReader), SCARD_S_SUCCESS);
    h.simulator.AddReader(u"Other Reader");
    PresenceWait wait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(1));
    h.simulator.InsertCard(u"Other Reader", kForeignAtr);
    ASSERT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(2));
    ASSERT_EQ(records.size(), 1u);
    std::vector<uint8_t> expected(156, 0);
    const uint32_t header[] = {156, 1, 0x400, 1};
    std::memcpy(expected.data(), header, sizeof(header));
    std::memcpy(expected.data() + 16, "PcSc", 4);
    expected[24] = 128;
    std::memcpy(expected.data() + 28, "SharingViolation", 16);
    EXPECT_EQ(records[0], expected);

    h.simulator.ReleaseHeld(ExtensionHarness::kReader);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(h.simulator.Journal(Call::Connect).size(), 1u);
}

TEST(ReaderDiscovery, TooSmallAtrBufferGetsNothingAndKeepsItsSize) {
    ExtensionHarness h;
    uint8_t atr[10] = {};
    uint64_t atrLength = sizeof(atr);
    EXPECT_EQ(h.extension->IsPresent(nullptr, atr, &atrLength, nullptr), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(atrLength, 10u);
    EXPECT_EQ(atr[0], 0);
}

TEST(ReaderDiscovery, CancelEndsTheWaitBeforeAndWhileItWaits) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.extension->Cancel();
    EXPECT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr), ZEPH_STATUS_PENDING);
    EXPECT_EQ(h.simulator.WaitsBlockedSoFar(), 0u);

    PresenceWait wait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.extension->Cancel();
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_PENDING);
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
    EXPECT_EQ(h.simulator.InvalidFrees(), 0u);  // the list was not freed again after the release
}

TEST(ReaderDiscovery, ManyReadersWithLongNamesOnlyTheFirst32AreWatched) {
    ExtensionHarness h;
    h.simulator.RemoveReader(ExtensionHarness::kReader);
    std::vector<std::u16string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back(std::u16string(300, u'R') + u" " + static_cast<char16_t>(u'A' + i));
        h.simulator.AddReader(names.back());
    }
    h.simulator.InsertCard(names[35], kPredefinedAtr);
    PresenceWait wait(h);
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    EXPECT_EQ(h.simulator.CallCount(Call::Connect), 0u);  // the 36th reader is not watched
    h.simulator.InsertCard(names[4], kPredefinedAtr);
    EXPECT_EQ(wait.Get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), names[4]);
    EXPECT_FALSE(h.Traced(TRACE_INFO,
                          "CZephExtensionPcSc::IsPresent::aktiviere Erkennung neuer "
                          "Leser"));
}

TEST(ReaderDiscovery, ACancelEndsOneWaitOnly) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    {
        PresenceWait wait(h);
        ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
        h.extension->Cancel();
        EXPECT_EQ(wait.Get(), ZEPH_STATUS_PENDING);
    }
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr), ZEPH_STATUS_SUCCESS);
}

TEST(ReaderDiscovery, CancelWhileTheReadersAreListedIsACancellation) {
    ExtensionHarness h;
    h.pcsc.onListReaders = [&h] { h.extension->Cancel(); };
    EXPECT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr), ZEPH_STATUS_PENDING);
    h.pcsc.onListReaders = nullptr;
    EXPECT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr), ZEPH_STATUS_SUCCESS);
}

TEST(ReaderDiscovery, ListingFailureIsAnInvalidDeviceState) {
    ExtensionHarness h;
    h.simulator.InjectResults(Call::ListReaders, {SCARD_E_UNKNOWN_READER});
    EXPECT_EQ(h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr),
              ZEPH_STATUS_INVALID_DEVICE_STATE);
    EXPECT_NE(h.access.Context(), 0u);  // the context is kept: the service still knows it
}
