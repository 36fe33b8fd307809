// Detection of the active cryptographic provider: a table of outcomes over the smart card
// database in the in-memory registry (tests/registry holds every backend to the same answers),
// then the queries, traces and failures.
#include "identification/ActiveCryptoProvider.h"

#include "CardDatabasePcSc.h"
#include "HelperFixture.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"

namespace {

using ZEPH_Helper::CryptoProviderMutation;
using ZEPH_Helper::VH_GetActiveCryptoProvider;

constexpr char kMethod[] = "ZEPH_Helper::VH_GetActiveCryptoProvider";
// The value names of the database's provider kinds.
constexpr char16_t kKsp[] = u"Smart Card Key Storage Provider";
constexpr char16_t kCsp[] = u"Crypto Provider";
constexpr char16_t kModule[] = u"80000001";

struct Registration {
    const char16_t* cardType;
    const char16_t* valueName;
    const char16_t* provider;
};

struct Outcome {
    const char* name;
    std::vector<Registration> registrations;
    uint32_t provider;
    uint32_t mutation;
    const char* summary;  // the detail line after "Aktive(r) CryptoProvider: "; null for none
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << outcome.name;
}

class ProviderOutcome : public HelperTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(ProviderOutcome, GivesTheProviderTheMutationAndTheirSummary) {
    for (const Registration& r : GetParam().registrations) {
        registry.SetString(CalaisKey(r.cardType), r.valueName, r.provider);
    }
    CardDatabasePcSc database(pcsc, registry);
    uint32_t provider = 0xEEEE;
    uint32_t mutation = 0xEEEE;
    const bool found = VH_GetActiveCryptoProvider({database, registry}, &provider, &mutation);
    EXPECT_EQ(found, GetParam().provider != 0);
    EXPECT_EQ(provider, GetParam().provider);
    EXPECT_EQ(mutation, GetParam().mutation);
    const char* summary = GetParam().summary;
    EXPECT_EQ(TextsAt(TRACE_DETAIL),
              summary == nullptr
                  ? std::vector<std::string>{}
                  : std::vector<std::string>{std::string(kMethod) +
                                             "::Aktive(r) CryptoProvider: " + summary});
    EXPECT_EQ(database.OutstandingAllocations(), 0u);
}

// Only the card modules' names count, and that a provider is registered.
INSTANTIATE_TEST_SUITE_P(
    Registrations, ProviderOutcome,
    ::testing::Values(
        Outcome{"KspWithMinidriverInLowerCase",
                {{kKmdtCard, kKsp, u"KSP"}, {kKmdtCard, kModule, u"C:\\System32\\tpkmdt64.dll"}},
                3,
                1,
                "<Microsoft CNG mit Minitreiber> Mutation: <normal>"},
        Outcome{"KspCspAndWdkMinidriver",
                {{kKmdtCard, kKsp, u"KSP"},
                 {kKmdtCard, kCsp, u"CSP"},
                 {kKmdtCard, kModule, u"C:\\TALPO\\TPQLSAKMDT64.DLL"}},
                5,
                2,
                "<Microsoft CSP und CNG mit Minitreiber> Mutation: <wdk>"},
        // The mutation belongs to the key storage provider: without one it stays undefined.
        Outcome{"CspWithMinidriverWithoutKsp",
                {{kKmdtCard, kCsp, u"CSP"}, {kKmdtCard, kModule, u"tpkmdt64.dll"}},
                4,
                0,
                "<Microsoft CSP mit Minitreiber> Mutation: <undefined>"},
        Outcome{
            "MakersCspAlone", {{kCspCard, kCsp, u"CSP"}}, 2, 1, "<Talpo CSP> Mutation: <normal>"},
        Outcome{"ForeignCardModule",
                {{kKmdtCard, kKsp, u"KSP"},
                 {kKmdtCard, kCsp, u"CSP"},
                 {kKmdtCard, kModule, u"opensc-minidriver.dll"}},
                0,
                0,
                nullptr}),
    [](const ::testing::TestParamInfo<Outcome>& test) { return test.param.name; });

TEST(MinidriverNames, MatchTheEndOfTheModuleNameIgnoringCase) {
    using enum CryptoProviderMutation;
    const std::pair<const char16_t*, CryptoProviderMutation> cases[] = {
        {u"C:\\x\\TPKMDT64.DLL", Normal}, {u"tpkmdt64.Dll", Normal},
        {u"XTPKMDT64.DLL", Normal},       {u"C:\\x\\TpQlSaKmDt64.dll", Wdk},
        {u"KMDT64.DLL", Undefined},       {u"TPKMDT64.DL", Undefined},
        {u"TPKMDT64.DLL.old", Undefined}, {u"", Undefined}};
    for (const auto& [module, mutation] : cases) {
        EXPECT_EQ(ZEPH_Helper::MinidriverMutation(module), mutation) << TraceText(module);
    }
}

class DetectionTest : public HelperTest {
  protected:
    bool Detect() { return VH_GetActiveCryptoProvider(services, &provider, &mutation); }

    // "<method>::Fehler <error> beim Aufruf SCardGetCardTypeProviderName(<what>)!"
    static std::string QueryError(uint32_t result, const char* what) {
        return std::string(kMethod) + "::Fehler <" + TraceText(ErrorName(result)) +
               "> beim Aufruf SCardGetCardTypeProviderName(" + what + ")!";
    }

    uint32_t provider = 0xEEEE;
    uint32_t mutation = 0xEEEE;
};

TEST_F(DetectionTest, NothingRegisteredAsksThreeTimesWithoutAContextAndTracesThreeErrors) {
    EXPECT_FALSE(Detect());
    EXPECT_EQ(provider, 0u);
    EXPECT_EQ(mutation, 0u);
    std::vector<std::pair<std::u16string, uint32_t>> queries;
    for (const sim::JournalEntry& query : pcsc.Journal(sim::Call::GetCardTypeProviderName)) {
        queries.emplace_back(query.reader, query.argument);
        EXPECT_EQ(query.context, 0u);
    }
    EXPECT_EQ(queries,
              (std::vector<std::pair<std::u16string, uint32_t>>{{kKmdtCard, kScardProviderKsp},
                                                                {kKmdtCard, kScardProviderCsp},
                                                                {kCspCard, kScardProviderCsp}}));
    constexpr uint32_t kMissing = ERROR_FILE_NOT_FOUND_RESULT;
    EXPECT_EQ(TextsAt(TRACE_ERROR),
              (std::vector<std::string>{
                  QueryError(kMissing, "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_KSP"),
                  QueryError(kMissing, "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CSP"),
                  QueryError(kMissing, "CALAIS_TALPO_CSP_T3_KEY")}));
    EXPECT_TRUE(TextsAt(TRACE_DETAIL).empty());
}

TEST_F(DetectionTest, TheMakersCspIsNotAskedForOnceAMinidriverWasFound) {
    RegisterMinidriverWithKsp();
    pcsc.SetCardTypeProvider(kCspCard, kScardProviderCsp, u"TALPO eCard CSP");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 3u);
    for (const sim::JournalEntry& query : pcsc.Journal(sim::Call::GetCardTypeProviderName)) {
        EXPECT_NE(query.reader, kCspCard);
    }
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(DetectionTest, AFailedCardModuleQueryIsTracedAndContributesNothing) {
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp, u"KSP");
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCsp, u"CSP");
    EXPECT_FALSE(Detect());
    const std::string module = QueryError(ERROR_FILE_NOT_FOUND_RESULT,
                                          "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CARD_MODULE");
    const auto errors = TextsAt(TRACE_ERROR);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], module);
    EXPECT_EQ(errors[1], module);
}

// The platform's query writes into a buffer of 260 characters: a longer name does not fit.
TEST_F(DetectionTest, NamesThatDoNotFitTheQueryBufferAreRefused) {
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp, u"KSP");
    const std::u16string driver = u"\\TPKMDT64.DLL";
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                             std::u16string(259 - driver.size(), u'd') + driver);
    EXPECT_TRUE(Detect());
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                             std::u16string(260 - driver.size(), u'd') + driver);
    capture.Clear();
    EXPECT_FALSE(Detect());
    EXPECT_EQ(TextsAt(TRACE_ERROR).at(0),
              QueryError(SCARD_E_INSUFFICIENT_BUFFER,
                         "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CARD_MODULE"));
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(DetectionTest, NullPointersAreRefusedBeforeAnythingIsWritten) {
    EXPECT_FALSE(VH_GetActiveCryptoProvider(services, nullptr, &mutation));
    EXPECT_FALSE(VH_GetActiveCryptoProvider(services, &provider, nullptr));
    EXPECT_EQ(provider, 0xEEEEu);
    EXPECT_EQ(mutation, 0xEEEEu);
    EXPECT_EQ(
        TextsAt(TRACE_ERROR),
        (std::vector<std::string>{
            std::string(kMethod) + "::Der Parameter <PE_MORA_CryptoProvider> ist NULL!",
            std::string(kMethod) + "::Der Parameter <PE_MORA_CryptoProviderMutation> ist NULL!"}));
    EXPECT_EQ(pcsc.CallCount(sim::Call::GetCardTypeProviderName), 0u);
}

// The exception is caught inside the method trace's scope: with the component traced for errors
// only, level 1 shows the caught-exception line and no frame of the method trace.
TEST_F(DetectionTest, AnExceptionIsCaughtInsideTheScopeAndKeepsWhatWasFoundSoFar) {
    capture.SetLevels(TRACE_EXCEPTION | TRACE_ERROR);
    CardDatabasePcSc throwing(pcsc, registry);
    registry.SetString(CalaisKey(kKmdtCard), kKsp, u"KSP");
    registry.SetString(CalaisKey(kKmdtCard), kModule, u"TPQLSAKMDT64.DLL");
    throwing.beforeLookUp = [](std::u16string_view, uint32_t kind) {
        if (kind == kScardProviderCsp) {
            throw std::runtime_error("database gone");
        }
    };
    EXPECT_FALSE(VH_GetActiveCryptoProvider({throwing, registry}, &provider, &mutation));
    EXPECT_EQ(provider, 3u);
    EXPECT_EQ(mutation, 2u);
    std::vector<std::string> levelOne;
    for (const TraceLine& line : capture.Lines()) {
        if (line.level == TRACE_EXCEPTION) {
            levelOne.push_back(line.text);
        }
    }
    EXPECT_EQ(levelOne, std::vector<std::string>{std::string(kMethod) + "::Exception gefangen!"});
    EXPECT_EQ(throwing.OutstandingAllocations(), 0u);
}

}  // namespace
