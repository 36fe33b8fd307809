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

// A situation where the module takes no card (exit 1): the card's ATR (empty: the predefined one;
// null: no card), whether the stack's own context holds it exclusively, the host's manual reader,
// and a line the report must have.
struct VerdictCase {
    const char* name;
    const char* atr;
    bool held;
    const char* manualReader;
    const char* line;
};

constexpr char kNearMiss[] = "3BBF96008131FE5D00640412000031C073F701D00090007F";  // byte 11
constexpr char kOtherKind[] = "3B8F8001804F0CA000000306030001000000006A";

const VerdictCase kVerdicts[] = {
    {"ForeignAtr", kNearMiss, false, "", "byte 11: card 12, mask wants 11 under FF"},
    {"OtherCardKind", kOtherKind, false, "", "differs from the mask in 20 bytes: 1-7, 9-11, 14-23"},
    {"HeldExclusively", "", true, "",
     "verdict    no card the module would take: Virtual PCD 00 00: held exclusively; Virtual PCD "
     "00 01: empty"},
    {"ManualReaderElsewhere", "", false, "Other Reader", ": manual reader setting elsewhere"},
    {"EmptyReader", nullptr, false, "", "Virtual PCD 00 00\" EMPTY: empty"},
};

class DiagnosisVerdictTest : public DiagnosisRealStackTest,
                             public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(DiagnosisVerdictTest, NamesWhyTheCardIsTakenOrNot) {
    const VerdictCase& c = GetParam();
    if (c.atr != nullptr) {
        Stack().InsertCard({c.atr, {}, ""});
    }
    std::optional<PcscCard> holder;
    if (c.held) {
        holder.emplace(Stack().Context(), Stack().ReaderName(), SCARD_SHARE_EXCLUSIVE);
        ASSERT_EQ(holder->Status(), SCARD_S_SUCCESS);
    }
    const Diagnosis diagnosis =
        Diagnose(*c.manualReader != 0 ? std::vector<std::string>{"--reader", c.manualReader}
                                      : std::vector<std::string>{});
    EXPECT_EQ(diagnosis.exit, 1) << diagnosis.output;
    EXPECT_THAT(diagnosis.output, ::testing::HasSubstr(c.line));
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
    EXPECT_EQ(report["configuration"]["registry"], std::getenv("ZEPH_REGISTRY_FILE"));
    EXPECT_EQ(report["configuration"]["cryptoProvider"], 0);
    EXPECT_EQ(report["configuration"]["atrMasks"][0]["atr"],
              "3BBF96008131FE5D00640411000031C073F701D00090007F");
    EXPECT_EQ(report["configuration"]["atrMasks"][0]["source"], "PREDEFINED");
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
