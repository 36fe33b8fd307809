// Detection of the active cryptographic provider: the outcome for every kind of registration,
// through the simulator's providers and through the smart card database in a registry (in
// memory, and on Linux the registry file), then the queries, traces and failures.
#include "identification/ActiveCryptoProvider.h"

#include <memory>

#include "CardDatabasePcSc.h"
#include "HelperFixture.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"

#ifndef _WIN32
#include "TempDirectory.h"
#include "registry/RegFileRegistry.h"
#endif

namespace {

using ZEPH_Helper::VH_GetActiveCryptoProvider;

constexpr char kMethod[] = "ZEPH_Helper::VH_GetActiveCryptoProvider";

// Where the providers of the card types are registered.
class Registrations {
  public:
    virtual ~Registrations() = default;
    virtual void Register(std::u16string_view cardType, uint32_t kind,
                          std::u16string_view provider) = 0;
    virtual PcScApi& Pcsc() = 0;
    // What a query for a card type that has nothing registered answers.
    virtual uint32_t UnregisteredResult() const = 0;
};

class SimulatorRegistrations final : public Registrations {
  public:
    void Register(std::u16string_view cardType, uint32_t kind,
                  std::u16string_view provider) override {
        m_pcsc.SetCardTypeProvider(std::u16string(cardType), kind, std::u16string(provider));
    }
    PcScApi& Pcsc() override { return m_pcsc; }
    uint32_t UnregisteredResult() const override { return ERROR_FILE_NOT_FOUND_RESULT; }

  private:
    PcScSimulator m_pcsc;
};

const char16_t* ValueNameOf(uint32_t kind) {
    return kind == kScardProviderCsp   ? u"Crypto Provider"
           : kind == kScardProviderKsp ? u"Smart Card Key Storage Provider"
                                       : u"80000001";
}

class MemoryDatabaseRegistrations final : public Registrations {
  public:
    void Register(std::u16string_view cardType, uint32_t kind,
                  std::u16string_view provider) override {
        m_registry.SetString(CalaisKey(cardType), ValueNameOf(kind), provider);
    }
    PcScApi& Pcsc() override { return m_pcsc; }
    uint32_t UnregisteredResult() const override { return SCARD_E_UNKNOWN_CARD; }

  private:
    PcScSimulator m_simulator;
    MemoryRegistry m_registry;
    CardDatabasePcSc m_pcsc{m_simulator, m_registry};
};

#ifndef _WIN32
// The database as the registry file of Linux, rewritten after each registration.
class FileDatabaseRegistrations final : public Registrations {
  public:
    FileDatabaseRegistrations() { Save(); }

    void Register(std::u16string_view cardType, uint32_t kind,
                  std::u16string_view provider) override {
        m_text += "\n[HKEY_LOCAL_MACHINE\\" + Ascii(CalaisKey(cardType)) + "]\n\"" +
                  Ascii(ValueNameOf(kind)) + "\"=\"" + Escaped(provider) + "\"\n";
        Save();
    }
    PcScApi& Pcsc() override { return m_pcsc; }
    uint32_t UnregisteredResult() const override { return SCARD_E_UNKNOWN_CARD; }

  private:
    static std::string Ascii(std::u16string_view text) { return {text.begin(), text.end()}; }
    static std::string Escaped(std::u16string_view text) {
        std::string escaped;
        for (const char16_t unit : text) {
            escaped += unit == u'\\' ? "\\\\" : std::string(1, static_cast<char>(unit));
        }
        return escaped;
    }
    void Save() { m_directory.Write("registry.reg", "REGEDIT4\n" + m_text); }

    TempDirectory m_directory;
    std::string m_text;
    RegFileRegistry m_registry{(m_directory.Path() / "registry.reg").string()};
    PcScSimulator m_simulator;
    CardDatabasePcSc m_pcsc{m_simulator, m_registry};
};
#endif

struct Backend {
    const char* name;
    std::unique_ptr<Registrations> (*make)();
};

void PrintTo(const Backend& backend, std::ostream* out) {
    *out << backend.name;
}

class ProviderOutcome : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override { registrations = GetParam().make(); }

    bool Detect() {
        provider = 0xEEEE;
        mutation = 0xEEEE;
        MemoryRegistry unused;
        return VH_GetActiveCryptoProvider({registrations->Pcsc(), unused}, &provider, &mutation);
    }

    std::vector<std::string> TextsAt(uint16_t level) const { return MessagesAt(capture, level); }

    static std::string Summary(const char* providerText, const char* mutationText) {
        return std::string(kMethod) + "::Aktive(r) CryptoProvider: <" + providerText +
               "> Mutation: <" + mutationText + ">";
    }

    CapturingTraceSystem capture;
    std::unique_ptr<Registrations> registrations;
    uint32_t provider = 0;
    uint32_t mutation = 0;
};

TEST_P(ProviderOutcome, KeyStorageProviderWithOrdinaryMinidriverInLowerCaseIsCngNormal) {
    registrations->Register(kKmdtCard, kScardProviderKsp,
                            u"Microsoft Smart Card Key Storage Provider");
    registrations->Register(kKmdtCard, kScardProviderCardModule,
                            u"C:\\Windows\\System32\\tpkmdt64.dll");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 3u);
    EXPECT_EQ(mutation, 1u);
    EXPECT_EQ(TextsAt(TRACE_DETAIL),
              std::vector<std::string>{Summary("Microsoft CNG mit Minitreiber", "normal")});
}

TEST_P(ProviderOutcome, KeyStorageProviderCspAndWdkMinidriverAreCspAndCngWdk) {
    registrations->Register(kKmdtCard, kScardProviderKsp,
                            u"Microsoft Smart Card Key Storage Provider");
    registrations->Register(kKmdtCard, kScardProviderCsp,
                            u"Microsoft Base Smart Card Crypto Provider");
    registrations->Register(kKmdtCard, kScardProviderCardModule,
                            u"C:\\Program Files\\TALPO\\TPQLSAKMDT64.DLL");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 5u);
    EXPECT_EQ(mutation, 2u);
    EXPECT_EQ(TextsAt(TRACE_DETAIL),
              std::vector<std::string>{Summary("Microsoft CSP und CNG mit Minitreiber", "wdk")});
    EXPECT_TRUE(TextsAt(TRACE_ERROR).empty());
}

TEST_P(ProviderOutcome, CspWithMinidriverButNoKeyStorageProviderLeavesTheMutationUndefined) {
    registrations->Register(kKmdtCard, kScardProviderCsp,
                            u"Microsoft Base Smart Card Crypto Provider");
    registrations->Register(kKmdtCard, kScardProviderCardModule, u"tpkmdt64.dll");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 4u);
    EXPECT_EQ(mutation, 0u);
    EXPECT_EQ(TextsAt(TRACE_DETAIL),
              std::vector<std::string>{Summary("Microsoft CSP mit Minitreiber", "undefined")});
}

TEST_P(ProviderOutcome, TheMakersCspAloneIsTalpoCspNormal) {
    registrations->Register(kCspCard, kScardProviderCsp, u"TALPO eCard CSP");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 2u);
    EXPECT_EQ(mutation, 1u);
    EXPECT_EQ(TextsAt(TRACE_DETAIL), std::vector<std::string>{Summary("Talpo CSP", "normal")});
}

TEST_P(ProviderOutcome, CardModulesThatDoNotEndInTheDriverNameMatchNothing) {
    registrations->Register(kKmdtCard, kScardProviderKsp,
                            u"Microsoft Smart Card Key Storage Provider");
    registrations->Register(kKmdtCard, kScardProviderCsp,
                            u"Microsoft Base Smart Card Crypto Provider");
    for (const char16_t* module : {u"a.dll", u"opensc-minidriver.dll", u"TPKMDT64.DLL.old"}) {
        registrations->Register(kKmdtCard, kScardProviderCardModule, module);
        EXPECT_FALSE(Detect()) << TraceText(module);
        EXPECT_EQ(provider, 0u);
        EXPECT_EQ(mutation, 0u);
    }
    EXPECT_TRUE(TextsAt(TRACE_DETAIL).empty());
}

TEST_P(ProviderOutcome, NothingRegisteredFailsWithThreeErrors) {
    EXPECT_FALSE(Detect());
    EXPECT_EQ(provider, 0u);
    EXPECT_EQ(mutation, 0u);
    const std::string error = TraceText(ErrorName(registrations->UnregisteredResult()));
    const std::string call = "::Fehler <" + error + "> beim Aufruf SCardGetCardTypeProviderName(";
    EXPECT_EQ(
        TextsAt(TRACE_ERROR),
        (std::vector<std::string>{kMethod + call + "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_KSP)!",
                                  kMethod + call + "CALAIS_TALPO_KMDT_T3_KEY/SCARD_PROVIDER_CSP)!",
                                  kMethod + call + "CALAIS_TALPO_CSP_T3_KEY)!"}));
    EXPECT_TRUE(TextsAt(TRACE_DETAIL).empty());
}

std::vector<Backend> Backends() {
    std::vector<Backend> backends = {
        {"Simulator", [] { return std::unique_ptr<Registrations>(new SimulatorRegistrations); }},
        {"MemoryDatabase",
         [] { return std::unique_ptr<Registrations>(new MemoryDatabaseRegistrations); }},
    };
#ifndef _WIN32
    backends.push_back({"FileDatabase", [] {
                            return std::unique_ptr<Registrations>(new FileDatabaseRegistrations);
                        }});
#endif
    return backends;
}

INSTANTIATE_TEST_SUITE_P(Registrations, ProviderOutcome, ::testing::ValuesIn(Backends()),
                         [](const ::testing::TestParamInfo<Backend>& test) {
                             return test.param.name;
                         });

class DetectionTest : public HelperTest {
  protected:
    bool Detect() { return VH_GetActiveCryptoProvider(services, &provider, &mutation); }

    std::vector<sim::JournalEntry> Queries() const {
        return pcsc.Journal(sim::Call::GetCardTypeProviderName);
    }

    uint32_t provider = 0xEEEE;
    uint32_t mutation = 0xEEEE;
};

TEST_F(DetectionTest, QueriesHaveNoContextAndSkipTheCardModuleAfterAFailedProviderQuery) {
    EXPECT_FALSE(Detect());
    const auto queries = Queries();
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries[0].reader, kKmdtCard);
    EXPECT_EQ(queries[0].argument, kScardProviderKsp);
    EXPECT_EQ(queries[1].reader, kKmdtCard);
    EXPECT_EQ(queries[1].argument, kScardProviderCsp);
    EXPECT_EQ(queries[2].reader, kCspCard);
    EXPECT_EQ(queries[2].argument, kScardProviderCsp);
    for (const sim::JournalEntry& query : queries) {
        EXPECT_EQ(query.context, 0u);
    }
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(DetectionTest, TheMakersCspIsNotAskedForOnceAMinidriverWasFound) {
    RegisterMinidriverWithKsp();
    pcsc.SetCardTypeProvider(kCspCard, kScardProviderCsp, u"TALPO eCard CSP");
    EXPECT_TRUE(Detect());
    EXPECT_EQ(provider, 3u);
    for (const sim::JournalEntry& query : Queries()) {
        EXPECT_NE(query.reader, kCspCard);
    }
    EXPECT_EQ(pcsc.OutstandingAllocations(), 0u);
}

TEST_F(DetectionTest, AFailedCardModuleQueryIsTracedAndContributesNothing) {
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp, u"KSP");
    pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCsp, u"CSP");
    EXPECT_FALSE(Detect());
    const std::string module = std::string(kMethod) + "::Fehler <" +
                               TraceText(ErrorName(ERROR_FILE_NOT_FOUND_RESULT)) +
                               "> beim Aufruf "
                               "SCardGetCardTypeProviderName(CALAIS_TALPO_KMDT_T3_KEY/"
                               "SCARD_PROVIDER_CARD_MODULE)!";
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
    const auto errors = TextsAt(TRACE_ERROR);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find("<" + TraceText(ErrorName(SCARD_E_INSUFFICIENT_BUFFER)) + ">"),
              std::string::npos);
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
    registry.SetString(CalaisKey(kKmdtCard), u"Smart Card Key Storage Provider", u"KSP");
    registry.SetString(CalaisKey(kKmdtCard), u"80000001", u"TPQLSAKMDT64.DLL");
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

TEST(MinidriverNames, MatchTheEndOfTheModuleNameIgnoringCase) {
    using ZEPH_Helper::CryptoProviderMutation;
    using ZEPH_Helper::MinidriverMutation;
    EXPECT_EQ(MinidriverMutation(u"C:\\x\\TPKMDT64.DLL"), CryptoProviderMutation::Normal);
    EXPECT_EQ(MinidriverMutation(u"tpkmdt64.Dll"), CryptoProviderMutation::Normal);
    EXPECT_EQ(MinidriverMutation(u"C:\\x\\TpQlSaKmDt64.dll"), CryptoProviderMutation::Wdk);
    EXPECT_EQ(MinidriverMutation(u"XTPKMDT64.DLL"), CryptoProviderMutation::Normal);
    EXPECT_EQ(MinidriverMutation(u"KMDT64.DLL"), CryptoProviderMutation::Undefined);
    EXPECT_EQ(MinidriverMutation(u"TPKMDT64.DL"), CryptoProviderMutation::Undefined);
    EXPECT_EQ(MinidriverMutation(u""), CryptoProviderMutation::Undefined);
}

}  // namespace
