// The card identification helpers: detection of the active cryptographic provider (a table of
// outcomes over the smart card database in the in-memory registry, tests/registry holds every
// backend to the same answers, then the failed queries of the card module), the component name
// of their traces and the recognition of the maker's virtual readers.
#include "identification/ActiveCryptoProvider.h"
#include "identification/HelperInitialize.h"
#include "identification/ReaderKinds.h"

#include "CardDatabasePcSc.h"
#include "HelperFixture.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"

namespace {

using ZEPH_Helper::VH_GetActiveCryptoProvider;

constexpr char kMethod[] = "ZEPH_Helper::VH_GetActiveCryptoProvider";
// The value names of the database's provider kinds.
constexpr char16_t kKsp[] = u"Smart Card Key Storage Provider";
constexpr char16_t kCsp[] = u"Crypto Provider";
constexpr char16_t kModule[] = u"80000001";

// The entry of one card type in the database: which providers it names, and its card module.
struct Outcome {
    const char* name;
    const char16_t* cardType;
    bool ksp;
    bool csp;
    const char16_t* module;  // null for none
    uint32_t provider;
    uint32_t mutation;
    const char* summary;  // the detail line after "Aktive(r) CryptoProvider: "; null for none
};

class ProviderOutcome : public HelperTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(ProviderOutcome, GivesTheProviderTheMutationAndTheirSummary) {
    const Outcome& outcome = GetParam();
    const std::u16string key = CalaisKey(outcome.cardType);
    if (outcome.ksp) {
        registry.SetString(key, kKsp, u"KSP");
    }
    if (outcome.csp) {
        registry.SetString(key, kCsp, u"CSP");
    }
    if (outcome.module != nullptr) {
        registry.SetString(key, kModule, outcome.module);
    }
    CardDatabasePcSc database(pcsc, registry);
    uint32_t provider = 0xEEEE;
    uint32_t mutation = 0xEEEE;
    const bool found = VH_GetActiveCryptoProvider({database, registry}, &provider, &mutation);
    EXPECT_EQ(found, outcome.provider != 0);
    EXPECT_EQ(provider, outcome.provider);
    EXPECT_EQ(mutation, outcome.mutation);
    EXPECT_EQ(TextsAt(TRACE_DETAIL),
              outcome.summary == nullptr
                  ? std::vector<std::string>{}
                  : std::vector<std::string>{std::string(kMethod) +
                                             "::Aktive(r) CryptoProvider: " + outcome.summary});
    EXPECT_EQ(database.OutstandingAllocations(), 0u);
}

// The card module's name counts without regard to case; the WDK minidriver, found with both
// providers, names its own mutation.
INSTANTIATE_TEST_SUITE_P(
    Registrations, ProviderOutcome,
    ::testing::Values(Outcome{"KspWithMinidriverInLowerCase", kKmdtCard, true, false,
                              u"C:\\System32\\tpkmdt64.dll", 3, 1,
                              "<Microsoft CNG mit Minitreiber> Mutation: <normal>"},
                      Outcome{"KspCspAndWdkMinidriver", kKmdtCard, true, true,
                              u"C:\\TALPO\\TPQLSAKMDT64.DLL", 5, 2,
                              "<Microsoft CSP und CNG mit Minitreiber> Mutation: <wdk>"}),
    [](const ::testing::TestParamInfo<Outcome>& test) { return test.param.name; });

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
    EXPECT_EQ(TextsAt(TRACE_ERROR).at(0),
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
