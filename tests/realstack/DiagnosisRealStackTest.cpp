// zeph_host --diagnose on the real stack: the verdict and its exit status for each situation a
// user meets, the JSON of one run field by field, and a diagnosis that leaves a host's card alone.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "PcscHandles.h"
#include "StackFixture.h"
#include "TestCards.h"

namespace realstack {
namespace {

constexpr std::chrono::milliseconds kRunTimeout{20000};

struct Diagnosis {
    int exit;
    std::string output;
};

Diagnosis Diagnose(std::vector<std::string> args, const std::string& module = ZEPH_MODULE_PATH) {
    args.insert(args.begin(), {ZEPH_HOST_PATH, "--module", module, "--diagnose"});
    ChildProcess host(args);
    const int exit = host.Wait(kRunTimeout);
    return {exit, host.Output()};
}

using DiagnosisRealStackTest = StackFixture;

struct VerdictCase {
    const char* name;
    VirtualCardOptions card;  // none started when its ATR is "none"
    bool heldExclusively;     // by the stack's own context
    std::vector<std::string> args;
    int exit;
    std::vector<std::string> lines;
};

const VerdictCase kVerdicts[] = {
    {"ForeignAtr",
     {"3BBF96008131FE5D00640412000031C073F701D00090007F", {}, ""},
     false,
     {},
     1,
     {": foreign ATR", "byte 11: card 12, mask wants 11 under FF",
      "verdict    no card the module would take: Virtual PCD 00 00: foreign ATR"}},
    {"OtherCardKind",
     {"3B8F8001804F0CA000000306030001000000006A", {}, ""},
     false,
     {},
     1,
     {"differs from the mask in 20 bytes: 1-7, 9-11, 14-23"}},
    {"HeldExclusively",
     {},
     true,
     {},
     1,
     {"PRESENT|ATRMATCH|EXCLUSIVE ATR 3BBF", ": held exclusively"}},
    {"ManualReaderElsewhere",
     {},
     false,
     {"--reader", "Other Reader"},
     1,
     {": manual reader setting elsewhere"}},
    {"EmptyReader", {"none", {}, ""}, false, {}, 1, {"Virtual PCD 00 00\" EMPTY: empty"}},
};

void PrintTo(const VerdictCase& c, std::ostream* out) {
    *out << c.name;
}

class DiagnosisVerdictTest : public DiagnosisRealStackTest,
                             public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(DiagnosisVerdictTest, NamesWhyTheCardIsTakenOrNot) {
    const VerdictCase& c = GetParam();
    if (c.card.atr != "none") {
        Stack().InsertCard(c.card);
    }
    std::optional<PcscCard> holder;
    if (c.heldExclusively) {
        holder.emplace(Stack().Context(), Stack().ReaderName(), SCARD_SHARE_EXCLUSIVE);
        ASSERT_EQ(holder->Status(), SCARD_S_SUCCESS);
    }
    const Diagnosis diagnosis = Diagnose(c.args);
    EXPECT_EQ(diagnosis.exit, c.exit) << diagnosis.output;
    for (const std::string& line : c.lines) {
        EXPECT_THAT(diagnosis.output, ::testing::HasSubstr(line));
    }
    EXPECT_THAT(diagnosis.output,
                ::testing::HasSubstr("pcsc       2 reader(s); masks compared by PC/SC"));
}

INSTANTIATE_TEST_SUITE_P(Verdicts, DiagnosisVerdictTest, ::testing::ValuesIn(kVerdicts),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(DiagnosisRealStackTest, NoServiceAndNoModuleHaveTheirOwnExitStatus) {
    const Diagnosis notTheModule = Diagnose({}, ZEPH_HOST_PATH);
    EXPECT_EQ(notTheModule.exit, 3) << notTheModule.output;
    EXPECT_THAT(notTheModule.output,
                ::testing::HasSubstr("verdict    the module cannot be used: "));
    Stack().StopPcscd();
    const Diagnosis noService = Diagnose({});
    EXPECT_EQ(noService.exit, 2) << noService.output;
    EXPECT_THAT(noService.output,
                ::testing::HasSubstr("verdict    the PC/SC service cannot be reached: "));
    Stack().StartPcscd();
}

TEST_F(DiagnosisRealStackTest, JsonHoldsTheSameFindings) {
    Stack().InsertCard();
    const Diagnosis diagnosis = Diagnose({"--json"});
    ASSERT_EQ(diagnosis.exit, 0) << diagnosis.output;
    const nlohmann::json report = nlohmann::json::parse(diagnosis.output);
    EXPECT_EQ(report["module"]["path"], ZEPH_MODULE_PATH);
    EXPECT_EQ(report["module"]["answers"], true);
    EXPECT_EQ(report["module"]["versionsDiffer"], false);
    EXPECT_EQ(report["module"]["object"]["shortName"], "PcSc");
    EXPECT_EQ(report["module"]["object"]["atrFilter"], true);
    EXPECT_EQ(report["traceSystem"]["searched"].size(), 3u);
    EXPECT_EQ(report["directories"].size(), 6u);
    EXPECT_EQ(report["directories"][4]["name"], "log");
    EXPECT_EQ(report["configuration"]["registry"], std::getenv("ZEPH_REGISTRY_FILE"));
    EXPECT_EQ(report["configuration"]["cryptoProvider"], 0);
    EXPECT_EQ(report["configuration"]["atrMasks"][0]["atr"],
              "3BBF96008131FE5D00640411000031C073F701D00090007F");
    EXPECT_EQ(report["configuration"]["atrMasks"][0]["source"], "PREDEFINED");
    EXPECT_EQ(report["configuration"]["countsAsHost"], false);
    EXPECT_EQ(report["pcsc"]["serviceAnswers"], true);
    EXPECT_EQ(report["pcsc"]["masksComparedInTool"], false);
    const nlohmann::json& reader = report["pcsc"]["readers"][0];
    EXPECT_EQ(reader["name"], Stack().ReaderName());
    EXPECT_EQ(reader["stateFlags"], "PRESENT|ATRMATCH");
    EXPECT_EQ(reader["verdict"], "accepted");
    EXPECT_EQ(report["exitStatus"], 0);
    EXPECT_EQ(report["verdict"], "the module would take the card in \"Virtual PCD 00 00\"");
}

// A host holds the card exclusively and exchanges APDUs while the diagnosis runs: every exchange
// succeeds, and the diagnosis sees the card held.
TEST_F(DiagnosisRealStackTest, LeavesAHostsCardAlone) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    ChildProcess diagnosis({ZEPH_HOST_PATH, "--module", ZEPH_MODULE_PATH, "--diagnose"});
    int exchanges = 0;
    while (!diagnosis.HasExited()) {
        ASSERT_EQ(Transmit(kSelectMasterFile).data, kStatusOk) << "exchange " << exchanges;
        ++exchanges;
    }
    EXPECT_EQ(diagnosis.Wait(kRunTimeout), 1) << diagnosis.Output();
    EXPECT_THAT(diagnosis.Output(), ::testing::HasSubstr(": held exclusively"));
    EXPECT_GT(exchanges, 0);
    EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk);
}

}  // namespace
}  // namespace realstack
