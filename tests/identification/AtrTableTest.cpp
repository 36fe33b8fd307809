// The ATR mask table: the entry read from the smart card database, the fallbacks to the
// predefined entry, tables of several entries, the barriers, and the masked match of PC/SC.
#include "identification/AtrTable.h"

#include <algorithm>
#include <stdexcept>

#include "HelperFixture.h"

namespace {

using ZEPH_Helper::_FillActualUsedAtr;
using ZEPH_Helper::AtrSource;
using ZEPH_Helper::MoraAtrMask;
using ZEPH_Helper::VH_GetAllTalpoAtr;

const std::vector<uint8_t> kPredefined = {0x3B, 0xBF, 0x96, 0x00, 0x81, 0x31, 0xFE, 0x5D,
                                          0x00, 0x64, 0x04, 0x11, 0x00, 0x00, 0x31, 0xC0,
                                          0x73, 0xF7, 0x01, 0xD0, 0x00, 0x90, 0x00, 0x7F};
const std::vector<uint8_t> kPredefinedMask = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0x0F, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
const std::vector<uint8_t> kCalaisAtr = {0x3B, 0x8A, 0x80, 0x01, 0x54,
                                         0x41, 0x4C, 0x50, 0x4F, 0x20};
const std::vector<uint8_t> kCalaisMask(10, 0xFF);

constexpr char kFill[] = "ZEPH_Helper::_FillActualUsedAtr";
constexpr char kTable[] = "ZEPH_Helper::VH_GetAllTalpoAtr";

std::vector<uint8_t> Bytes(const uint8_t* bytes, uint32_t length) {
    return {bytes, bytes + length};
}

class AtrTableTest : public HelperTest {
  protected:
    void SetCalaisEntry(std::u16string_view cardType, std::vector<uint8_t> atr,
                        std::vector<uint8_t> mask) {
        registry.SetBinary(CalaisKey(cardType), u"ATR", std::move(atr));
        registry.SetBinary(CalaisKey(cardType), u"ATRMask", std::move(mask));
    }

    MoraAtrMask Record() {
        MoraAtrMask record;
        EXPECT_TRUE(VH_GetAllTalpoAtr(services, &record, 1));
        return record;
    }

    void ExpectPredefined(const MoraAtrMask& record) {
        EXPECT_EQ(Bytes(record.rgbAtr, record.cbAtr), kPredefined);
        EXPECT_EQ(Bytes(record.rgbMask, record.cbAtr), kPredefinedMask);
    }

    std::vector<std::string> FallbackTexts() const {
        return {std::string(kFill) + "::ATR ist nicht im Calais",
                std::string(kFill) +
                    "::ATR wurde im Calais nicht gefunden, es wird die vordefinierte Variante "
                    "eingestellt!"};
    }
};

TEST_F(AtrTableTest, WithoutAProviderTheTableHoldsThePredefinedEntry) {
    SetCalaisEntry(kKmdtCard, kCalaisAtr, kCalaisMask);
    const MoraAtrMask record = Record();
    ExpectPredefined(record);
    EXPECT_EQ(record.atrSource, 2u);
    EXPECT_EQ(record.provider[0], u'\0');
    EXPECT_TRUE(TextsAt(TRACE_WARNING).empty());
    EXPECT_EQ(registry.OpenCount(), 0u);
}

TEST_F(AtrTableTest, ProviderOfTheMinidriverReadsTheEntryOfItsCardType) {
    RegisterMinidriverWithKsp();
    SetCalaisEntry(kKmdtCard, kCalaisAtr, kCalaisMask);
    const MoraAtrMask record = Record();
    EXPECT_EQ(Bytes(record.rgbAtr, record.cbAtr), kCalaisAtr);
    EXPECT_EQ(Bytes(record.rgbMask, record.cbAtr), kCalaisMask);
    EXPECT_EQ(record.atrType, 3u);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_EQ(record.scType, 0u);
    EXPECT_EQ(std::u16string(record.provider), kKmdtCard);
    EXPECT_EQ(TextsAt(TRACE_INFO).back(),
              std::string(kFill) +
                  "::ATR wurde ermittelt <ATR Type 'TCOS3' Source 'CALAIS' SC Type 'PREDEFINED' "
                  "Provider 'TALPO SmartCard'>");
}

TEST_F(AtrTableTest, TheMakersCspReadsTheEntryOfItsOwnCardType) {
    pcsc.SetCardTypeProvider(kCspCard, kScardProviderCsp, u"TALPO eCard CSP");
    SetCalaisEntry(kCspCard, kCalaisAtr, kCalaisMask);
    SetCalaisEntry(kKmdtCard, {0x3B}, {0xFF});
    const MoraAtrMask record = Record();
    EXPECT_EQ(Bytes(record.rgbAtr, record.cbAtr), kCalaisAtr);
    EXPECT_EQ(std::u16string(record.provider), kCspCard);
}

TEST_F(AtrTableTest, EntryOfZeroBytesIsAccepted) {
    RegisterMinidriverWithKsp();
    SetCalaisEntry(kKmdtCard, {}, {});
    const MoraAtrMask record = Record();
    EXPECT_EQ(record.cbAtr, 0u);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_TRUE(TextsAt(TRACE_WARNING).empty());
}

// An unusable entry: the predefined one is used, the source stays CALAIS and the card type's
// name stays in the record.
struct Unusable {
    const char* name;
    void (*arrange)(MemoryRegistry& registry);
};

void PrintTo(const Unusable& unusable, std::ostream* out) {
    *out << unusable.name;
}

class AtrTableFallback : public AtrTableTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(AtrTableFallback, UsesThePredefinedEntryAndSaysSo) {
    RegisterMinidriverWithKsp();
    GetParam().arrange(registry);
    const MoraAtrMask record = Record();
    ExpectPredefined(record);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_EQ(std::u16string(record.provider), kKmdtCard);
    EXPECT_EQ(TextsAt(TRACE_WARNING), FallbackTexts());
    EXPECT_EQ(TextsAt(TRACE_INFO).back(),
              std::string(kFill) +
                  "::ATR wurde ermittelt <ATR Type 'TCOS3' Source 'CALAIS' SC Type 'PREDEFINED' "
                  "Provider 'TALPO SmartCard'>");
}

void SetBoth(MemoryRegistry& registry, std::vector<uint8_t> atr, std::vector<uint8_t> mask) {
    registry.SetBinary(CalaisKey(kKmdtCard), u"ATR", std::move(atr));
    registry.SetBinary(CalaisKey(kKmdtCard), u"ATRMask", std::move(mask));
}

INSTANTIATE_TEST_SUITE_P(
    Unusable, AtrTableFallback,
    ::testing::Values(
        Unusable{"MissingKey", [](MemoryRegistry&) {}},
        Unusable{"MissingMask",
                 [](MemoryRegistry& r) { r.SetBinary(CalaisKey(kKmdtCard), u"ATR", kCalaisAtr); }},
        Unusable{
            "MissingAtr",
            [](MemoryRegistry& r) { r.SetBinary(CalaisKey(kKmdtCard), u"ATRMask", kCalaisMask); }},
        Unusable{"AtrOfWrongType",
                 [](MemoryRegistry& r) {
                     SetBoth(r, kCalaisAtr, kCalaisMask);
                     r.SetValue(CalaisKey(kKmdtCard), u"ATR", {kRegSz, kCalaisAtr});
                 }},
        Unusable{"MaskOfWrongType",
                 [](MemoryRegistry& r) {
                     SetBoth(r, kCalaisAtr, kCalaisMask);
                     r.SetValue(CalaisKey(kKmdtCard), u"ATRMask", {kRegDword, {1, 2, 3, 4}});
                 }},
        Unusable{"SizesDiffer",
                 [](MemoryRegistry& r) { SetBoth(r, kCalaisAtr, std::vector<uint8_t>(11, 0xFF)); }},
        Unusable{"ThirtySevenBytes",
                 [](MemoryRegistry& r) {
                     SetBoth(r, std::vector<uint8_t>(37, 0x3B), std::vector<uint8_t>(37, 0xFF));
                 }},
        Unusable{"LargerThanTheBuffer",
                 [](MemoryRegistry& r) {
                     SetBoth(r, std::vector<uint8_t>(73, 0x3B), std::vector<uint8_t>(73, 0xFF));
                 }},
        Unusable{"OnlyInTheThirtyTwoBitView",
                 [](MemoryRegistry& r) {
                     const std::u16string key =
                         u"SOFTWARE\\WOW6432Node\\Microsoft\\Cryptography\\Calais\\SmartCards\\"
                         u"TALPO SmartCard";
                     r.SetBinary(key, u"ATR", kCalaisAtr);
                     r.SetBinary(key, u"ATRMask", kCalaisMask);
                 }}),
    [](const ::testing::TestParamInfo<Unusable>& test) { return test.param.name; });

TEST_F(AtrTableTest, ThirtySixBytesAreTheLargestEntryAccepted) {
    RegisterMinidriverWithKsp();
    SetBoth(registry, std::vector<uint8_t>(36, 0x3B), std::vector<uint8_t>(36, 0xF0));
    const MoraAtrMask record = Record();
    EXPECT_EQ(record.cbAtr, 36u);
    EXPECT_EQ(Bytes(record.rgbMask, 36), std::vector<uint8_t>(36, 0xF0));
}

TEST_F(AtrTableTest, ProviderWithoutCardTypeFallsBackWithAnEmptyName) {
    MoraAtrMask record;
    record.provider[0] = u'x';
    ASSERT_TRUE(_FillActualUsedAtr(services, AtrSource::Calais, 7, &record));
    ExpectPredefined(record);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_EQ(record.provider[0], u'\0');
    EXPECT_EQ(TextsAt(TRACE_WARNING), FallbackTexts());
}

TEST_F(AtrTableTest, FillRefusesANullRecordAndAnUnknownSource) {
    EXPECT_FALSE(_FillActualUsedAtr(services, AtrSource::Predefined, 0, nullptr));
    MoraAtrMask record;
    record.cbAtr = 5;
    EXPECT_FALSE(_FillActualUsedAtr(services, static_cast<AtrSource>(9), 0, &record));
    EXPECT_EQ(record.cbAtr, 0u);
    EXPECT_EQ(TextsAt(TRACE_ERROR),
              (std::vector<std::string>{std::string(kFill) + "::MoraAtrMask Zeiger ist NULL!",
                                        std::string(kFill) + "::Unbekannte AtrSource <9>!"}));
}

TEST_F(AtrTableTest, TableOfSeveralEntriesFillsOnlyTheFirstAndKeepsTheCallersBytes) {
    PcScAtrMask table[3];
    for (PcScAtrMask& entry : table) {
        entry.cbAtr = 99;
        std::fill(std::begin(entry.rgbAtr), std::end(entry.rgbAtr), 0xAA);
        std::fill(std::begin(entry.rgbMask), std::end(entry.rgbMask), 0xAA);
    }
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, table, 3));
    EXPECT_EQ(Bytes(table[0].rgbAtr, table[0].cbAtr), kPredefined);
    EXPECT_EQ(Bytes(table[0].rgbMask, table[0].cbAtr), kPredefinedMask);
    EXPECT_EQ(Bytes(table[0].rgbAtr + 24, 12), std::vector<uint8_t>(12, 0xAA));
    for (const PcScAtrMask& entry : {table[1], table[2]}) {
        EXPECT_EQ(entry.cbAtr, 0u);
        EXPECT_EQ(Bytes(entry.rgbAtr, 36), std::vector<uint8_t>(36, 0xAA));
        EXPECT_EQ(Bytes(entry.rgbMask, 36), std::vector<uint8_t>(36, 0xAA));
    }
}

TEST_F(AtrTableTest, RecordFormClearsEveryRecord) {
    MoraAtrMask records[2];
    records[1].cbAtr = 7;
    records[1].atrSource = 2;
    records[1].provider[0] = u'x';
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, records, 2));
    EXPECT_EQ(records[0].cbAtr, 24u);
    EXPECT_EQ(records[1].cbAtr, 0u);
    EXPECT_EQ(records[1].atrSource, 0u);
    EXPECT_EQ(records[1].provider[0], u'\0');
}

TEST_F(AtrTableTest, EmptyTablesAreRefusedWithTheirOwnMessages) {
    PcScAtrMask entry{};
    MoraAtrMask record;
    EXPECT_FALSE(VH_GetAllTalpoAtr(services, static_cast<PcScAtrMask*>(nullptr), 1));
    EXPECT_FALSE(VH_GetAllTalpoAtr(services, &entry, 0));
    EXPECT_FALSE(VH_GetAllTalpoAtr(services, static_cast<MoraAtrMask*>(nullptr), 1));
    EXPECT_FALSE(VH_GetAllTalpoAtr(services, &record, 0));
    const std::string publicForm =
        std::string(kTable) + "::Der AtrMaskTabellen Zeiger ist NULL oder hat keine Elemente";
    const std::string recordForm =
        std::string(kTable) + "::Der AtrMaskTabellen-Zeiger ist NULL oder hat keine Elemente";
    EXPECT_EQ(TextsAt(TRACE_ERROR),
              (std::vector<std::string>{publicForm, publicForm, recordForm, recordForm}));
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
    EXPECT_EQ(TextsAt(TRACE_EXCEPTION),
              std::vector<std::string>{std::string(kTable) + "::Exception gefangen!"});
    // The fill has no barrier of its own: the exception leaves its scope, which shows the
    // unwinding frame; the record form catches it inside its own scope, which ends normally.
    EXPECT_EQ(UnwoundMethods(capture), (std::vector<std::string>{kFill}));
    EXPECT_EQ(
        TextsAt(TRACE_ERROR).back(),
        std::string(kTable) + "::Der AtrMaskTabellen Zeiger ist NULL oder hat keine Elemente");
}

TEST_F(AtrTableTest, TheMaskIsReadAfreshOnEveryCall) {
    RegisterMinidriverWithKsp();
    SetCalaisEntry(kKmdtCard, kCalaisAtr, kCalaisMask);
    EXPECT_EQ(Record().cbAtr, 10u);
    SetCalaisEntry(kKmdtCard, {0x3B, 0x00}, {0xFF, 0x00});
    EXPECT_EQ(Record().cbAtr, 2u);
}

TEST_F(AtrTableTest, HelperLinesCarryTheHelperComponentAndSource) {
    SetHelperLibComponent(u"ZEPH.Ext.PcSc");
    MoraAtrMask record;
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, &record, 1));
    const std::vector<TraceLine> lines = capture.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [](const TraceLine& line) {
        return line.category == "ZEPH.Ext.PcSc";
    }));
    EXPECT_EQ(lines.front().text.rfind("---> Beginn: ZEPH_Helper::VH_GetAllTalpoAtr (", 0), 0u);
    EXPECT_NE(lines.front().text.find(") Treiber\\ZEPH\\ZEPH_HelperLib\\ZEPH_HelperLib"),
              std::string::npos);
    EXPECT_EQ(lines.back().text.rfind("<--- Ende: ZEPH_Helper::VH_GetAllTalpoAtr (", 0), 0u);
}

// PC/SC matches a card against the predefined entry: bytes 12, 13 and 23 and the high four bits
// of byte 10 do not count.
class PredefinedMatch : public HelperTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(VH_GetAllTalpoAtr(services, &table, 1));
        ASSERT_EQ(pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_S_SUCCESS);
    }

    bool Matches(std::vector<uint8_t> atr) {
        const std::u16string reader =
            u"Reader " + std::u16string(1, static_cast<char16_t>(u'A' + m_readers++));
        EXPECT_TRUE(pcsc.AddReader(reader));
        EXPECT_TRUE(pcsc.InsertCard(reader, std::move(atr)));
        PcScReaderState state{};
        state.szReader = reader.c_str();
        EXPECT_EQ(pcsc.LocateCardsByATR(context, &table, 1, &state, 1), SCARD_S_SUCCESS);
        return (state.dwEventState & SCARD_STATE_ATRMATCH) != 0;
    }

    static std::vector<uint8_t> Changed(size_t index, uint8_t value) {
        std::vector<uint8_t> atr = kPredefined;
        atr[index] = value;
        return atr;
    }

    PcScAtrMask table{};
    ScardContext context = 0;

  private:
    int m_readers = 0;
};

TEST_F(PredefinedMatch, IgnoresBytes12To13And23AndTheHighNibbleOfByte10) {
    EXPECT_TRUE(Matches(kPredefined));
    EXPECT_TRUE(Matches(Changed(12, 0x5A)));
    EXPECT_TRUE(Matches(Changed(13, 0xFF)));
    EXPECT_TRUE(Matches(Changed(23, 0x00)));
    EXPECT_TRUE(Matches(Changed(10, 0xF4)));
}

TEST_F(PredefinedMatch, EveryOtherBitCounts) {
    EXPECT_FALSE(Matches(Changed(10, 0x05)));
    EXPECT_FALSE(Matches(Changed(11, 0x10)));
    EXPECT_FALSE(Matches(Changed(0, 0x3F)));
    EXPECT_FALSE(Matches(Changed(22, 0x01)));
}

}  // namespace
