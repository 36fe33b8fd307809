// The ATR mask table: the entries of the smart card database it accepts beside those it replaces
// with the predefined one, tables of several entries, and the barriers. How PC/SC matches cards
// against the predefined entry is pinned through the extension (ReaderDiscoveryTest) and on both
// stacks (tests/scenarios/ReaderScenarios.cpp).
#include "identification/AtrTable.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "HelperFixture.h"
#include "TestCards.h"
#include "identification/ActiveCryptoProvider.h"
#include "identification/MoraAtrMask.h"

namespace {

using ZEPH_Helper::MoraAtrMask;
using ZEPH_Helper::VH_GetActiveCryptoProvider;
using ZEPH_Helper::VH_GetAllTalpoAtr;

// Bytes 12, 13 and 23 and the high four bits of byte 10 of the predefined ATR do not count.
const std::vector<uint8_t> kPredefinedMask = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0x0F, 0xFF, 0x00, 0x00, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
const std::vector<uint8_t> kAtr = {0x3B, 0x8A, 0x80, 0x01, 0x54, 0x41, 0x4C, 0x50, 0x4F, 0x20};

constexpr char kFill[] = "ZEPH_Helper::_FillActualUsedAtr";
constexpr char kTable[] = "ZEPH_Helper::VH_GetAllTalpoAtr";
const std::string kFound = std::string(kFill) +
                           "::ATR wurde ermittelt <ATR Type 'TCOS3' Source 'CALAIS' SC Type "
                           "'PREDEFINED' Provider 'TALPO SmartCard'>";
const std::vector<std::string> kFallback = {
    std::string(kFill) + "::ATR ist nicht im Calais",
    std::string(kFill) +
        "::ATR wurde im Calais nicht gefunden, es wird die vordefinierte Variante eingestellt!"};

std::vector<uint8_t> Bytes(const uint8_t* bytes, uint32_t length) {
    return {bytes, bytes + length};
}

using AtrTableTest = HelperTest;

// The values of the minidriver's card type: an entry that is accepted as it stands, or one that
// is replaced by the predefined entry while the source stays CALAIS and the card type's name
// stays in the record.
struct Entry {
    const char* name;
    RegistryValue atr;
    RegistryValue mask;
    bool accepted;
};

class CalaisEntry : public AtrTableTest, public ::testing::WithParamInterface<Entry> {};

TEST_P(CalaisEntry, IsTakenOrReplacedByThePredefinedOne) {
    const Entry& entry = GetParam();
    registry.SetValue(CalaisKey(kKmdtCard), u"ATR", entry.atr);
    registry.SetValue(CalaisKey(kKmdtCard), u"ATRMask", entry.mask);
    RegisterMinidriverWithKsp();
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCsp, u"CSP");  // provider 5
    MoraAtrMask record;
    ASSERT_TRUE(VH_GetAllTalpoAtr(services, &record, 1));
    EXPECT_EQ(Bytes(record.rgbAtr, record.cbAtr), entry.accepted ? entry.atr.data : kPredefinedAtr);
    EXPECT_EQ(Bytes(record.rgbMask, record.cbAtr),
              entry.accepted ? entry.mask.data : kPredefinedMask);
    EXPECT_EQ(record.atrSource, 1u);
    EXPECT_EQ(std::u16string(record.provider), kKmdtCard);
    EXPECT_EQ(TextsAt(TRACE_WARNING), entry.accepted ? std::vector<std::string>{} : kFallback);
    EXPECT_EQ(TextsAt(TRACE_INFO).back(), kFound);
}

RegistryValue Binary(std::vector<uint8_t> bytes) {
    return {kRegBinary, std::move(bytes)};
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CalaisEntry,
    ::testing::Values(Entry{"ZeroBytes", Binary({}), Binary({}), true},
                      Entry{"ThirtySixBytes", Binary(std::vector<uint8_t>(36, 0x3B)),
                            Binary(std::vector<uint8_t>(36, 0xF0)), true},
                      Entry{"SizesDiffer", Binary(kAtr), Binary(std::vector<uint8_t>(11, 0xFF)),
                            false},
                      Entry{"ThirtySevenBytes", Binary(std::vector<uint8_t>(37, 0x3B)),
                            Binary(std::vector<uint8_t>(37, 0xFF)), false}),
    [](const ::testing::TestParamInfo<Entry>& test) { return test.param.name; });

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
}

// Values without a name are UNKNOWN; a provider without a terminator ends at the record's end.
TEST(MoraAtrMaskText, NamesUnknownValuesAndEndsAnUnterminatedProviderAtTheRecord) {
    MoraAtrMask record;
    record.atrSource = 7;
    record.scType = 99;
    std::fill(std::begin(record.provider), std::end(record.provider), u'p');
    EXPECT_EQ(ZEPH_Helper::MoraAtrMaskText(record),
              u"ATR Type 'UNKNOWN' Source 'UNKNOWN' SC Type 'UNKNOWN' Provider '" +
                  std::u16string(64, u'p') + u"'");
}

}  // namespace
