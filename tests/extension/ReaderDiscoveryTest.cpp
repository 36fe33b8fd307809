// The wait for a card, by host scenario, over the simulator, also while the PC/SC service is gone.
#include <algorithm>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;
using namespace std::chrono_literals;

namespace {

const std::vector<uint8_t> kForeignAtr = {0x3B, 0x02, 0x14, 0x50};

void AddCard(ExtensionHarness& h, const std::u16string& reader, std::vector<uint8_t> atr) {
    h.simulator.AddReader(reader);
    h.simulator.InsertCard(reader, std::move(atr));
}

// An extension object without the harness's reader.
struct NoReader : ExtensionHarness {
    NoReader() { simulator.RemoveReader(kReader); }
};

}  // namespace

// The readers present at the start decide which card is connected: exclusively, with T=1, and
// nothing of PC/SC's memory is left allocated. Its ATR reaches a guarded host buffer only when it
// fits (one byte less gets nothing and keeps its size). Each reader is traced with its kind; the
// manual reader setting is compared ignoring the case of Latin-1 letters.
TEST(ReaderDiscovery, ConnectsTheCardTheHostCanUse) {
    std::vector<uint8_t> masked = kPredefinedAtr;  // differs only in the bytes the mask ignores
    masked[10] ^= 0xF0;
    masked[12] = 0x55;
    masked[13] = 0x66;
    masked[23] = 0x00;
    const std::u16string kVirtual = u"TALPO Virtueller SmartCard Leser";
    const struct {
        // In place of the one reader; the last one's card is connected.
        std::vector<std::pair<std::u16string, std::vector<uint8_t>>> readers;
        std::u16string manual;
        int room;  // for the ATR, beyond its size
        uint16_t level;
        std::string traced;
    } rows[] = {
        {{{u"Sim Reader 0", masked}}, u"", 0, TRACE_INFO, "Leser <Sim Reader 0> erkannt"},
        {{{kVirtual + u" 0", kPredefinedAtr}, {kVirtual + u"X", kPredefinedAtr}},
         u"",
         -1,
         TRACE_INFO,
         "ZEPH-Leser <TALPO Virtueller SmartCard Leser 0> erkannt"},
        {{{u"Sim Reader 0", kPredefinedAtr}, {u"Zweiter Leser \u00e4", kPredefinedAtr}},
         u"ZWEITER leser \u00c4",
         12,
         TRACE_DETAIL,
         "Manuelle Lesereinstellung ist aktiviert <ZWEITER leser Ä>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.traced);
        NoReader h;
        for (const auto& [reader, atr] : row.readers) {
            AddCard(h, reader, atr);
        }
        const std::vector<uint8_t>& atr = row.readers.back().second;
        std::vector<uint8_t> memory(48, 0xA5);
        const auto size = static_cast<int>(atr.size());
        uint64_t atrLength = static_cast<uint64_t>(size + row.room);
        uint32_t protocol = 0;
        auto present = h.Async([&] {
            return h.extension->IsPresent(reinterpret_cast<const ZephWChar*>(row.manual.c_str()),
                                          memory.data() + 4, &atrLength, &protocol);
        });
        EXPECT_EQ(h.Finish(present), ZEPH_STATUS_SUCCESS);
        std::vector<uint8_t> expected(memory.size(), 0xA5);
        if (row.room >= 0) {
            std::copy(atr.begin(), atr.end(), expected.begin() + 4);
        }
        EXPECT_EQ(memory, expected);
        EXPECT_EQ(atrLength, static_cast<uint64_t>(size + std::min(row.room, 0)));
        EXPECT_EQ(protocol, SCARD_PROTOCOL_T1);
        EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
        EXPECT_EQ(h.access.ReaderName(), row.readers.back().first);
        EXPECT_EQ(h.simulator.CallCount(Call::Connect), 1u);
        EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
        EXPECT_TRUE(h.Traced(row.level, "IsPresent", row.traced));
    }
}

TEST(ReaderDiscovery, ReaderArrivingLaterStartsANewListing) {
    NoReader h;
    auto wait = h.AsyncIsPresent();
    EXPECT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    AddCard(h, u"Later Reader", kPredefinedAtr);
    EXPECT_EQ(h.Finish(wait), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), u"Later Reader");
    EXPECT_GE(h.simulator.CallCount(Call::ListReaders), 2u);
}

// A card with a foreign ATR is traced once, a reader held by another application notified once,
// while a change elsewhere wakes the wait; the card is tried again once its reader changed.
TEST(ReaderDiscovery, UnusableCardIsReportedOnceAndRetriedOnlyAfterItsReaderChanged) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held by another application" : "foreign ATR");
        ExtensionHarness h;
        std::vector<std::vector<uint8_t>> records;
        h.extension->m_pfnNotify = [](const ZephNotification* record, void* context) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(record);
            static_cast<std::vector<std::vector<uint8_t>>*>(context)->emplace_back(
                bytes, bytes + sizeof(ZephNotification));
        };
        h.extension->m_pNotifyContext = &records;
        if (held) {
            ASSERT_EQ(h.simulator.HoldExclusively(ExtensionHarness::kReader), SCARD_S_SUCCESS);
        } else {
            h.simulator.RemoveCard(ExtensionHarness::kReader);
            h.simulator.InsertCard(ExtensionHarness::kReader, kForeignAtr);
        }
        h.simulator.AddReader(u"Other Reader");
        auto wait = h.AsyncIsPresent();
        EXPECT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(1));
        h.simulator.InsertCard(u"Other Reader", kForeignAtr);
        EXPECT_TRUE(h.simulator.AwaitWaitsBlockedSoFar(2));
        const std::vector<std::string> texts = h.traces.Texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(),
                             Latin1("CZephExtensionPcSc::IsPresent::Der Leser <Sim Reader 0> hat "
                                    "eine Karte mit fremden ATR. Es wird keine Verbindung "
                                    "hergestellt!")),
                  held ? 0 : 1);
        EXPECT_EQ(records.size(), held ? 1u : 0u);
        if (held && !records.empty()) {
            // Every byte of the record, the zeroed ones too.
            const ZephNotification expected{156, 1, 0x400, 1, "PcSc", {}, 128, "SharingViolation"};
            const auto* bytes = reinterpret_cast<const uint8_t*>(&expected);
            EXPECT_EQ(records[0], std::vector<uint8_t>(bytes, bytes + sizeof expected));
        }
        if (held) {
            h.simulator.ReleaseHeld(ExtensionHarness::kReader);
        } else {
            h.simulator.RemoveCard(ExtensionHarness::kReader);
            h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
        }
        EXPECT_EQ(h.Finish(wait), ZEPH_STATUS_SUCCESS);
        EXPECT_EQ(records.size(), held ? 1u : 0u);
        EXPECT_EQ(h.access.ReaderName(), ExtensionHarness::kReader);
        EXPECT_EQ(h.simulator.CallCount(Call::Connect), 1u);
    }
}

// A listing the host cancels ends as cancelled; one that fails keeps the context, which the
// service still knows, and a broken link to the service renews it.
TEST(ReaderDiscovery, ListingCancelledOrFailing) {
    ExtensionHarness h;
    h.pcsc.onListReaders = [&h] { h.extension->Cancel(); };
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_PENDING);
    h.pcsc.onListReaders = nullptr;
    h.simulator.InjectResults(Call::ListReaders, {SCARD_E_UNKNOWN_READER});
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_INVALID_DEVICE_STATE);
    EXPECT_NE(h.access.Context(), 0u);
    h.simulator.InjectResults(Call::ListReaders, {SCARD_F_COMM_ERROR});
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_INVALID_DEVICE_STATE);
    EXPECT_EQ(h.access.Context(), 0u);
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_SUCCESS);
}

TEST(ReaderDiscovery, ManyReadersWithLongNamesOnlyTheFirst32AreWatched) {
    NoReader h;
    std::vector<std::u16string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back(std::u16string(300, u'R') + u" " + static_cast<char16_t>(u'A' + i));
        h.simulator.AddReader(names.back());
    }
    h.simulator.InsertCard(names[35], kPredefinedAtr);
    auto wait = h.AsyncIsPresent();
    EXPECT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    EXPECT_EQ(h.simulator.CallCount(Call::Connect), 0u);  // the 36th reader is not watched
    h.simulator.InsertCard(names[4], kPredefinedAtr);
    EXPECT_EQ(h.Finish(wait), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.ReaderName(), names[4]);
}

// The service stops under a waiting IsPresent (as the Windows service does when the last reader
// goes): the object lets go of its dead context and waits out the retry interval before it
// answers, so that a host calling it in a tight loop does not make it spin; a Cancel ends that
// wait at once, and once the service is back the same object finds the card.
TEST(ServiceRecovery, StoppedServiceIsWaitedOutAndTheCardFoundOnceItIsBack) {
    ExtensionHarness h;
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    h.access.SetServiceRetryMs(5000);
    auto present = h.AsyncIsPresent();
    ASSERT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.simulator.StopService();
    EXPECT_EQ(present.wait_for(200ms), std::future_status::timeout);
    h.extension->Cancel();
    EXPECT_EQ(present.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(present.get(), ZEPH_STATUS_PENDING);
    EXPECT_TRUE(h.Traced(TRACE_WARNING, "IsPresent",
                         "PC/SC-Kontext ist nicht mehr gültig (Fehler <SERVICE_STOPPED>) und wird "
                         "erneuert"));
    h.simulator.StartService();
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(h.IsPresent(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.simulator.OpenContexts(), 1u);
    EXPECT_EQ(h.simulator.OpenConnections(), 1u);
}
