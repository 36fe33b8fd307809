// Detection of the active cryptographic provider: a table of outcomes over the smart card
// database in the in-memory registry (tests/registry holds every backend to the same answers),
// then the failed queries of the card module.
#include "identification/ActiveCryptoProvider.h"

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

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << outcome.name;
}

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

// Only the card modules' names count, and that a provider is registered. The mutation belongs
// to the key storage provider: without one it stays undefined.
INSTANTIATE_TEST_SUITE_P(
    Registrations, ProviderOutcome,
    ::testing::Values(Outcome{"KspWithMinidriverInLowerCase", kKmdtCard, true, false,
                              u"C:\\System32\\tpkmdt64.dll", 3, 1,
                              "<Microsoft CNG mit Minitreiber> Mutation: <normal>"},
                      Outcome{"KspCspAndWdkMinidriver", kKmdtCard, true, true,
                              u"C:\\TALPO\\TPQLSAKMDT64.DLL", 5, 2,
                              "<Microsoft CSP und CNG mit Minitreiber> Mutation: <wdk>"},
                      Outcome{"CspWithMinidriverWithoutKsp", kKmdtCard, false, true,
                              u"tpkmdt64.dll", 4, 0,
                              "<Microsoft CSP mit Minitreiber> Mutation: <undefined>"},
                      Outcome{"MakersCspAlone", kCspCard, false, true, nullptr, 2, 1,
                              "<Talpo CSP> Mutation: <normal>"},
                      Outcome{"ForeignCardModule", kKmdtCard, true, true, u"opensc-minidriver.dll",
                              0, 0, nullptr}),
    [](const ::testing::TestParamInfo<Outcome>& test) { return test.param.name; });

class DetectionTest : public HelperTest {
  protected:
    bool Detect() { return VH_GetActiveCryptoProvider(services, &provider, &mutation); }

    // "<method>::Fehler <error> beim Aufruf SCardGetCardTypeProviderName(<what>)!"
    static std::string QueryError(uint32_t result, const char* what) {
        return std::string(kMethod) + "::Fehler <" + Latin1(ErrorName(result)) +
               "> beim Aufruf SCardGetCardTypeProviderName(" + what + ")!";
    }

    uint32_t provider = 0xEEEE;
    uint32_t mutation = 0xEEEE;
};

// The card module is asked for once per provider kind found. A failed query, of a missing name or
// of one longer than the platform's query buffer of 260 characters, is traced and contributes
// nothing.
TEST_F(DetectionTest, AFailedCardModuleQueryIsTracedAndContributesNothing) {
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp, u"KSP");
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCsp, u"CSP");
    EXPECT_FALSE(Detect());
    const char kModuleQuery[] = "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CARD_MODULE";
    const auto errors = TextsAt(TRACE_ERROR);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], QueryError(ERROR_FILE_NOT_FOUND_RESULT, kModuleQuery));
    EXPECT_EQ(errors[1], errors[0]);
    const std::u16string driver = u"\\TPKMDT64.DLL";
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                             std::u16string(259 - driver.size(), u'd') + driver);
    EXPECT_TRUE(Detect());
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                             std::u16string(260 - driver.size(), u'd') + driver);
    capture.Clear();
    EXPECT_FALSE(Detect());
    EXPECT_EQ(TextsAt(TRACE_ERROR).at(0), QueryError(SCARD_E_INSUFFICIENT_BUFFER, kModuleQuery));
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

}  // namespace
