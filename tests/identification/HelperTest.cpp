// The card identification helpers: the ATR mask table (the smart card database's entries it takes
// or replaces with the predefined one, tables of several entries, the barriers), detection of the
// active cryptographic provider (outcomes over the smart card database in the in-memory registry;
// tests/registry holds every backend to the same answers), the component name of their traces
// and the recognition of the maker's virtual readers. How PC/SC matches cards against the
// predefined entry is pinned through the extension (ReaderDiscoveryTest) and on both stacks.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "CapturingTraceSystem.h"
#include "CardDatabasePcSc.h"
#include "MemoryRegistry.h"
#include "PcScSimulator.h"
#include "TestCards.h"
#include "identification/ActiveCryptoProvider.h"
#include "identification/AtrTable.h"
#include "identification/CardIdentificationServices.h"
#include "identification/HelperInitialize.h"
#include "identification/MoraAtrMask.h"
#include "identification/ReaderKinds.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/SmartCardDatabase.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSinks.h"

namespace {

using ZEPH_Helper::MoraAtrMask;
using ZEPH_Helper::VH_GetActiveCryptoProvider;
using ZEPH_Helper::VH_GetAllTalpoAtr;

// Bytes 12, 13 and 23 and the high four bits of byte 10 of the predefined ATR do not count.
const std::vector<uint8_t> kPredefinedMask = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0x0F, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr char16_t kKmdtCard[] = u"TALPO SmartCard";
constexpr char kMethod[] = "ZEPH_Helper::VH_GetActiveCryptoProvider";

std::vector<uint8_t> Bytes(const uint8_t* bytes, uint32_t length) {
    return {bytes, bytes + length};
}

RegistryValue Binary(std::vector<uint8_t> bytes) {
    return {kRegBinary, std::move(bytes)};
}

// The database key of that card type.
const std::u16string kKmdtKey = std::u16string(kSmartCardDatabaseKey) + u"\\" + kKmdtCard;

// A trace capture, the PC/SC simulator for the registered providers and an in-memory registry for
// the smart card database.
class HelperTest : public ::testing::Test {
  protected:
    void TearDown() override { SetHelperLibComponent(kHelperLibDefaultTraceComponent); }

    // The maker's minidriver with a key storage provider: detection gives provider 3.
    void RegisterMinidriverWithKsp() {
        pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp,
                                 u"Microsoft Smart Card Key Storage Provider");
        pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                                 u"C:\\Windows\\System32\\TPKMDT64.DLL");
    }

    CapturingTraceSystem capture;
    PcScSimulator pcsc;
    MemoryRegistry registry;
    ZEPH_Helper::CardIdentificationServices services{pcsc, registry};
};

using AtrTableTest = HelperTest;

// The values of the minidriver's card type: an entry that is accepted as it stands, or one that
// is replaced by the predefined entry while the source stays CALAIS and the card type's name
// stays in the record.
TEST_F(AtrTableTest, CalaisEntryIsTakenOrReplacedByThePredefinedOne) {
    const struct {
        const char* name;
        RegistryValue atr, mask;
        bool accepted;
    } entries[] = {
        {"36 bytes", Binary(std::vector<uint8_t>(36, 0x3B)), Binary(std::vector<uint8_t>(36, 0xF0)),
         true},
        {"sizes differ", Binary({0x3B, 0x8A, 0x80, 0x01}), Binary({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         false},
        {"37 bytes", Binary(std::vector<uint8_t>(37, 0x3B)), Binary(std::vector<uint8_t>(37, 0xFF)),
         false},
    };
    RegisterMinidriverWithKsp();
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCsp, u"CSP");  // provider 5
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.name);
        capture.Clear();
        registry.SetValue(kKmdtKey, u"ATR", entry.atr);
        registry.SetValue(kKmdtKey, u"ATRMask", entry.mask);
        MoraAtrMask record;
        ASSERT_TRUE(VH_GetAllTalpoAtr(services, &record, 1));
        EXPECT_EQ(Bytes(record.rgbAtr, record.cbAtr),
                  entry.accepted ? entry.atr.data : kPredefinedAtr);
        EXPECT_EQ(Bytes(record.rgbMask, record.cbAtr),
                  entry.accepted ? entry.mask.data : kPredefinedMask);
        EXPECT_EQ(record.atrSource, 1u);
        EXPECT_EQ(std::u16string(record.provider), kKmdtCard);
        EXPECT_EQ(capture.TextsAt(TRACE_WARNING).size(), entry.accepted ? 0u : 2u);
        EXPECT_EQ(capture.TextsAt(TRACE_INFO).back(),
                  "ZEPH_Helper::_FillActualUsedAtr::ATR wurde ermittelt <ATR Type 'TCOS3' Source "
                  "'CALAIS' SC Type 'PREDEFINED' Provider 'TALPO SmartCard'>");
    }
}

TEST_F(AtrTableTest, TablesOfSeveralEntriesFillOnlyTheFirst) {
    PcScAtrMask table[3];
    std::memset(table, 0xAA, sizeof table);
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, table, 3));
    EXPECT_EQ(Bytes(table[0].rgbMask, table[0].cbAtr), kPredefinedMask);
    // The public form keeps the caller's bytes beyond each entry's length.
    EXPECT_EQ(table[0].rgbAtr[24], 0xAA);
    EXPECT_EQ(table[1].cbAtr + table[2].cbAtr, 0u);
    EXPECT_EQ(Bytes(table[2].rgbMask, 36), std::vector<uint8_t>(36, 0xAA));
    // The record form clears every record.
    MoraAtrMask records[2];
    records[1].cbAtr = 7;
    records[1].provider[0] = u'x';
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, records, 2));
    EXPECT_EQ(records[1].cbAtr, 0u);
    EXPECT_EQ(records[1].provider[0], u'\0');
}

// An empty table and a null provider pointer are refused: nothing is written, PC/SC not asked.
TEST_F(AtrTableTest, NullPointersAndEmptyTablesAreRefusedAndNothingIsWritten) {
    MoraAtrMask record;
    record.cbAtr = 5;
    uint32_t value = 0xEEEE;
    EXPECT_FALSE(VH_GetAllTalpoAtr(services, &record, 0));
    EXPECT_FALSE(VH_GetActiveCryptoProvider(services, nullptr, &value));
    EXPECT_EQ(record.cbAtr, 5u);
    EXPECT_EQ(value, 0xEEEEu);
    EXPECT_EQ(pcsc.CallCount(sim::Call::GetCardTypeProviderName), 0u);
    // The fill refuses a null record and a source without a name.
    EXPECT_FALSE(ZEPH_Helper::_FillActualUsedAtr(services, ZEPH_Helper::AtrSource{2}, 0, nullptr));
    EXPECT_FALSE(ZEPH_Helper::_FillActualUsedAtr(services, ZEPH_Helper::AtrSource{9}, 0, &record));
    EXPECT_EQ(capture.TextsAt(TRACE_ERROR),
              (std::vector<std::string>{
                  "ZEPH_Helper::VH_GetAllTalpoAtr::Der AtrMaskTabellen-Zeiger ist NULL oder hat "
                  "keine Elemente",
                  std::string(kMethod) + "::Der Parameter <PE_MORA_CryptoProvider> ist NULL!",
                  "ZEPH_Helper::_FillActualUsedAtr::MoraAtrMask Zeiger ist NULL!",
                  "ZEPH_Helper::_FillActualUsedAtr::Unbekannte AtrSource <9>!"}));
}

// A registry that fails with an exception.
class ThrowingRegistry final : public RegistryApi {
  protected:
    uint32_t OpenKey(std::u16string_view, RegistryView, uint32_t,
                     std::unique_ptr<RegistryKeyBackend>&) override {
        throw std::runtime_error("registry gone");
    }
};

TEST_F(AtrTableTest, ExceptionOfTheFillIsCaughtByTheRecordFormAndTheTableIsLeftAlone) {
    RegisterMinidriverWithKsp();
    ThrowingRegistry throwing;
    PcScAtrMask entry{};
    entry.cbAtr = 42;
    EXPECT_FALSE(VH_GetAllTalpoAtr({pcsc, throwing}, &entry, 1));
    EXPECT_EQ(entry.cbAtr, 42u);
    EXPECT_EQ(capture.TextsAt(TRACE_EXCEPTION),
              std::vector<std::string>{"ZEPH_Helper::VH_GetAllTalpoAtr::Exception gefangen!"});
}

// The entry of one card type in the database under the value names of its provider kinds: the
// card module's name counts without regard to case; the WDK minidriver, found with both
// providers, names its own mutation.
TEST_F(HelperTest, ProviderOutcomeGivesTheProviderTheMutationAndTheirSummary) {
    const struct {
        bool csp;
        const char16_t* module;
        uint32_t provider, mutation;
        const char* summary;  // the detail line after "Aktive(r) CryptoProvider: "
    } outcomes[] = {
        {false, u"C:\\System32\\tpkmdt64.dll", 3, 1,
         "<Microsoft CNG mit Minitreiber> Mutation: <normal>"},
        {true, u"C:\\TALPO\\TPQLSAKMDT64.DLL", 5, 2,
         "<Microsoft CSP und CNG mit Minitreiber> Mutation: <wdk>"},
    };
    for (const auto& outcome : outcomes) {
        SCOPED_TRACE(outcome.summary);
        capture.Clear();
        registry.SetString(kKmdtKey, u"Smart Card Key Storage Provider", u"KSP");
        if (outcome.csp) {  // after the row without: the registry keeps what a row set
            registry.SetString(kKmdtKey, u"Crypto Provider", u"CSP");
        }
        registry.SetString(kKmdtKey, u"80000001", outcome.module);
        CardDatabasePcSc database(pcsc, registry);
        uint32_t provider = 0xEEEE;
        uint32_t mutation = 0xEEEE;
        EXPECT_TRUE(VH_GetActiveCryptoProvider({database, registry}, &provider, &mutation));
        EXPECT_EQ(provider, outcome.provider);
        EXPECT_EQ(mutation, outcome.mutation);
        EXPECT_EQ(capture.TextsAt(TRACE_DETAIL),
                  std::vector<std::string>{std::string(kMethod) +
                                           "::Aktive(r) CryptoProvider: " + outcome.summary});
        EXPECT_EQ(database.OutstandingAllocations(), 0u);
    }
}

// A card module's name longer than the platform's query buffer of 260 characters fails its query,
// which is traced and contributes nothing.
TEST_F(HelperTest, AFailedCardModuleQueryIsTracedAndContributesNothing) {
    uint32_t provider = 0;
    uint32_t mutation = 0;
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp, u"KSP");
    const std::u16string driver = u"\\TPKMDT64.DLL";
    for (const size_t chars : {size_t{259}, size_t{260}}) {
        capture.Clear();
        pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                                 std::u16string(chars - driver.size(), u'd') + driver);
        EXPECT_EQ(VH_GetActiveCryptoProvider(services, &provider, &mutation), chars == 259);
    }
    EXPECT_EQ(capture.TextsAt(TRACE_ERROR).at(0),
              std::string(kMethod) + "::Fehler <" + Latin1(ErrorName(SCARD_E_INSUFFICIENT_BUFFER)) +
                  "> beim Aufruf SCardGetCardTypeProviderName(CALAIS_TALPO_KMDT_T3_KEY/"
                  "SCARD_PROVIDER_CARD_MODULE)!");
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(HelperTest, InitializeGivesTheHelperLibraryTheExtensionsComponent) {
    ASSERT_EQ(GetHelperLibComponent(), u"ZEPH.Help.Lib");
    EXPECT_TRUE(ZEPH_Helper::VH_Initialize());
    EXPECT_EQ(GetHelperLibComponent(), u"ZEPH.Ext.PcSc");
}

// Every name of the record's enumerations, and "UNKNOWN" beside each; a provider that fills its
// 64 units ends there.
TEST(MoraAtrMaskText, NamesEachCodeAndEndsTheProviderAtItsCapacity) {
    MoraAtrMask record;
    record.atrType = 3;
    std::fill(std::begin(record.provider), std::end(record.provider), u'p');
    std::u16string texts = ZEPH_Helper::MoraAtrMaskText(record);
    for (const uint32_t code : {0u, 1u, 2u, 3u, 4u, 5u, 14u, 24u, 25u, 34u, 35u}) {
        texts.append(u"|").append(ZEPH_Helper::ScTypeText(code));
        texts.append(u" ").append(ZEPH_Helper::AtrSourceText(code));
        texts.append(u" ").append(ZEPH_Helper::AtrTypeText(code));
    }
    EXPECT_EQ(texts, u"ATR Type 'TCOS3' Source 'UNKNOWN' SC Type 'PREDEFINED' Provider '" +
                         std::u16string(64, u'p') +
                         u"'|PREDEFINED UNKNOWN UNKNOWN|KV CALAIS UNKNOWN|UNKNOWN PREDEFINED "
                         u"UNKNOWN|UNKNOWN UNKNOWN TCOS3|Norma UNKNOWN UNKNOWN|KMDT Fake RVW "
                         u"UNKNOWN UNKNOWN|Norma LX UNKNOWN UNKNOWN|Norma RY UNKNOWN UNKNOWN|KMDT "
                         u"Fake HLNK UNKNOWN UNKNOWN|Norma Talpo UNKNOWN UNKNOWN|UNKNOWN UNKNOWN "
                         u"UNKNOWN");
}

// A virtual reader's name lies strictly between the prefix followed by a blank and the prefix
// followed by "X", in the order of UTF-16 code units.
enum Kind { None, Reader, Replicator, Minidriver };

TEST(ReaderKinds, EachKindIsTheRangeAfterItsOwnPrefix) {
    const std::u16string reader = u"TALPO Virtueller SmartCard Leser";
    const std::pair<std::u16string, Kind> cases[] = {
        {reader + u" 0", Reader},
        {reader, None},
        {reader + u" ", None},  // the lower bound itself
        {reader + u"X", None},  // the upper bound itself
        {reader + u"\t1", None},
        {u"TALPO Virtueller SmartCard Replikator 0", Replicator},
        {u"TALPO Virtueller SmartCard Minitreiber 0", Minidriver},
    };
    for (const auto& [name, kind] : cases) {
        EXPECT_EQ(ZEPH_Helper::VH_IsVirtualReader(name), kind == Reader)
            << std::string(name.begin(), name.end());
        EXPECT_EQ(ZEPH_Helper::VH_IsVirtualReplicator(name), kind == Replicator);
        EXPECT_EQ(ZEPH_Helper::VH_IsVirtualMinidriver(name), kind == Minidriver);
    }
}

}  // namespace
