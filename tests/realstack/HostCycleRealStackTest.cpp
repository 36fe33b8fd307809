// The host's cycle on the real module and the real stack: IsPresent waiting for the insertion,
// resets while IsAbsent waits on a second thread, the removal and the next cycle; the stack's own
// pcsc-lite context plays another application on the same reader. Then the zeph_host program on
// the real stack, driven as a person (or scripts/host-demo.sh) drives it: the card goes in and
// out, the program runs its cycles, and a limit ends it.
#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>

#include "ModuleTrace.h"
#include "StackFixture.h"
#include "TestCards.h"

namespace realstack {
namespace {

const Bytes kSelectFile2F01 = {0x00, 0xA4, 0x02, 0x0C, 0x02, 0x2F, 0x01};
const Bytes kReadBinary5 = {0x00, 0xB0, 0x00, 0x00, 0x05};
const Bytes kHelloRead = {'H', 'e', 'l', 'l', 'o', 0x90, 0x00};
const VirtualCardOptions kHelloCard{"", {"2F01=48656C6C6F"}, ""};
constexpr uint32_t kCardAbsent = 1;

using HostCycleRealStackTest = StackFixture;

// A reset while IsAbsent waits (which lets the reset reconnect), into the host's ATR buffer.
struct ResetCase {
    const char* name;
    uint32_t action;
    uint32_t capacity;                // of the ATR buffer
    std::vector<const char*> events;  // the card's, in order
};

const std::vector<const char*> kPowerCycledTwice = {"power-off", "power-on", "power-off",
                                                    "power-on"};

class HostResetRealStackTest : public HostCycleRealStackTest,
                               public ::testing::WithParamInterface<ResetCase> {};

TEST_P(HostResetRealStackTest, ResetKeepsTheCardExclusivelyAndReturnsItsAtr) {
    const ResetCase& reset = GetParam();
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card, kHelloCard).status, ZEPH_STATUS_SUCCESS);
    SyncCardEvents(*card);
    auto absent = StartIsAbsent();
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    const Answer answer = Power(reset.action, reset.capacity);  // nothing outside the buffer
    ASSERT_EQ(answer.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(answer.data, kPredefinedAtr);
    for (const char* event : reset.events) {
        EXPECT_TRUE(card->WaitForEvent(event)) << "no " << event;
    }
    EXPECT_EQ(PcscCard(Stack().Context(), Stack().ReaderName(), SCARD_SHARE_SHARED).Status(),
              SCARD_E_SHARING_VIOLATION)
        << "not held exclusively";
    EXPECT_EQ(Transmit(kSelectFile2F01).data, kStatusOk);
    EXPECT_EQ(Transmit(kReadBinary5).data, kHelloRead);
    EXPECT_FALSE(absent->Returned()) << "IsAbsent took the reset for a removal";
}

// A cold reset powers the card off by the disconnection, on by the fresh connection, then once
// more by the reconnection that unpowers it. A warm reset fills a buffer of exactly the ATR's 24
// bytes (a byte more would hit the guard bytes).
INSTANTIATE_TEST_SUITE_P(Resets, HostResetRealStackTest,
                         ::testing::Values(ResetCase{"Warm", ZEPH_POWER_WARM_RESET, 24, {"reset"}},
                                           ResetCase{"Cold", ZEPH_POWER_COLD_RESET, 36,
                                                     kPowerCycledTwice}),
                         [](const auto& test) { return std::string(test.param.name); });

// The host starts IsAbsent on its second thread while its first thread resets the card: the first
// cold reset is already under way (card powered down) when IsAbsent begins, the later ones come
// while it waits. Each reset needs the gate IsAbsent opens, and none may look like a removal;
// the removal ends IsAbsent, and the next cycle connects the card again.
TEST_F(HostCycleRealStackTest, ColdResetsAroundTheStartOfIsAbsentKeepTheCardUntilItIsRemoved) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    SyncCardEvents(*card);

    BackgroundCall<Answer> first([this] { return Power(ZEPH_POWER_COLD_RESET); },
                                 [this] { Object().Cancel(); });
    ASSERT_TRUE(card->WaitForEvent("power-off")) << "the cold reset did not power the card down";
    auto absent = StartIsAbsent();
    const std::optional<Answer> reset = first.Get(kCallTimeout);
    ASSERT_TRUE(reset) << "the first cold reset did not return";
    EXPECT_EQ(reset->status, ZEPH_STATUS_SUCCESS) << "the first cold reset lost the card";
    EXPECT_EQ(reset->data, kPredefinedAtr);
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent never waited";

    for (int round = 1; round <= 3; ++round) {
        const Answer again = Power(ZEPH_POWER_COLD_RESET);
        EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS) << "cold reset " << round;
        EXPECT_EQ(again.data, kPredefinedAtr) << "cold reset " << round;
        EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk) << "after cold reset " << round;
    }
    EXPECT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout)) << "IsAbsent stopped waiting";
    EXPECT_FALSE(absent->Returned()) << "IsAbsent took a cold reset for a removal";
    ASSERT_TRUE(card->Remove());
    EXPECT_EQ(absent->Get(kCallTimeout), std::optional<uint32_t>(ZEPH_STATUS_SUCCESS))
        << "IsAbsent did not return after the removal";
    EXPECT_EQ(CardState(), kCardAbsent);
    EXPECT_NE(Transmit(kSelectMasterFile).status, ZEPH_STATUS_SUCCESS);

    const PresentAnswer again = ConnectCard(card);  // the host's next cycle
    EXPECT_EQ(again.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(again.atr, kPredefinedAtr);
    EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk);
}

// Wine starts a program in a few seconds.
constexpr std::chrono::milliseconds kStepTimeout{20000};

// The host program as it runs on each platform: the Linux one with the .so, and the Windows one
// with the DLL under Wine 10 (scripts/wine10-stage.sh names them). Wine 10's winscard lacks
// SCardLocateCardsByATRW, so the Windows host turns the ATR filter off and says so.
struct HostLauncher {
    std::string name;
    std::vector<std::string> command;
    std::vector<std::string> firstLines;
};

std::vector<HostLauncher> Launchers() {
    std::vector<HostLauncher> launchers{
        {"Linux", {ZEPH_HOST_PATH, "--module", ZEPH_MODULE_PATH}, {}}};
    const char* wine = std::getenv("ZEPH_WINE");
    const char* host = std::getenv("ZEPH_WINE10_HOST");
    const char* module = std::getenv("ZEPH_WINE10_MODULE");
    if (wine != nullptr && host != nullptr && module != nullptr) {
        launchers.push_back(
            {"Wine10",
             {wine, host, "--module", module, "--no-atr-filter"},
             {"object   ATR filter turned off (--no-atr-filter)", ", ATR filter off"}});
    }
    return launchers;
}

// zeph_host with the further arguments, started; it reads the stack's registry file. Its first
// lines are expected, and each line asked for names the program's output so far when missing.
std::vector<std::string> Host(std::vector<std::string> args,
                              const HostLauncher& launcher = Launchers()[0]) {
    args.insert(args.begin(), launcher.command.begin(), launcher.command.end());
    return args;
}

void ExpectLines(ChildProcess& host, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        EXPECT_TRUE(host.WaitForLine(text, kStepTimeout, true))
            << "no line with \"" << text << ("\" in:\n" + host.Output());
    }
}

using HostToolRealStackTest = StackFixture;

class HostCycleTest : public HostToolRealStackTest,
                      public ::testing::WithParamInterface<HostLauncher> {};

TEST_P(HostCycleTest, RunsTheWantedCyclesAndEnds) {
    ChildProcess host(Host({"--cycles", "1", "--apdu", "00A4000C023F00", "--apdu", "00A4020C022F01",
                            "--apdu", "00B0000005"},
                           GetParam()));
    ExpectLines(host, GetParam().firstLines);
    ExpectLines(host, {"cycle 1  IsPresent: waiting"});
    VirtualCardProcess& card = Stack().StartCard(kHelloCard);
    ExpectLines(host,
                {"IsPresent -> 0x00000000 STATUS_SUCCESS: card connected, protocol 2 T=1",
                 "ATR 3BBF96008131FE5D00640411000031C073F701D00090007F",
                 "reader \"" + Stack().ReaderName() + "\"",
                 "Transmit 00A4000C023F00 -> 0x00000000 STATUS_SUCCESS: SW 9000",
                 "Transmit 00B0000005 -> 0x00000000 STATUS_SUCCESS: SW 9000, data "
                 "48656C6C6F = \"Hello\"",
                 "GetState -> 0x00000000 STATUS_SUCCESS: state 6 SCARD_SPECIFIC, protocol 2 T=1",
                 "exchange done"});
    ASSERT_TRUE(card.Remove());
    ExpectLines(host, {"IsAbsent -> 0x00000000 STATUS_SUCCESS: card removed", "cycle 1  done",
                       "stop     all cycles done: Cancel", "object destroyed"});
    EXPECT_EQ(host.Wait(kStepTimeout), 0) << host.Output();
    EXPECT_FALSE(std::ranges::any_of(host.Lines(), [](const std::string& line) {
        return line.starts_with(kModuleTracePrefix);
    })) << "no --trace: no trace";
}

TEST_P(HostCycleTest, TimeLimitEndsARunWithoutCardWithStatus3) {
    ChildProcess host(Host({"--cycles", "1", "--timeout-ms", "1500"}, GetParam()));
    ExpectLines(host, {"stop     time limit of 1500 ms reached: Cancel",
                       "IsPresent -> 0x00000103 STATUS_PENDING"});
    EXPECT_EQ(host.Wait(kStepTimeout), 3) << host.Output();
}

// The diagnosis with a matching card in the reader; where the platform cannot locate cards by ATR
// (Wine 10) the tool compares the masks itself and says so.
TEST_P(HostCycleTest, DiagnosisNamesTheReaderOfAMatchingCard) {
    Stack().InsertCard();
    std::vector<std::string> args = Host({"--diagnose"}, GetParam());
    std::erase(args, "--no-atr-filter");
    ChildProcess host(args);
    EXPECT_EQ(host.Wait(kStepTimeout), 0) << host.Output();
    ExpectLines(host, {GetParam().name == "Linux" ? "masks compared by PC/SC"
                                                  : "masks compared by this tool",
                       "verdict    the module would take the card in \"" + Stack().ReaderName()});
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostCycleTest, ::testing::ValuesIn(Launchers()),
                         [](const auto& launcher) { return launcher.param.name; });

// The module's trace (zeph_host --trace) comes in whole lines, without their mark, among the
// host's.
TEST_F(HostToolRealStackTest, TraceInterleavesTheModulesWholeLinesWithTheHosts) {
    ChildProcess host(Host({"--cycles", "1", "--trace", "error,info,detail"}));
    ExpectLines(host, {"cycle 1  IsPresent: waiting"});
    VirtualCardProcess& card = Stack().StartCard();
    ExpectLines(host, {"exchange done"});
    ASSERT_TRUE(card.Remove());
    ExpectLines(host, {"object destroyed"});
    ASSERT_EQ(host.Wait(kStepTimeout), 0) << host.Output();

    const std::string wanted[] = {
        "INFO ZEPH.Ext.PcSc ---> Beginn: CZephExtensionPcSc::IsPresent",
        "DETAIL ZEPH.Ext.PcSc CZephExtensionPcSc::Helper_SCardConnect::Connecting in <exclusive> "
        "mode...",
        "DETAIL ZEPH.Ext.PcSc CZephExtensionPcSc::IsPresent::SCardConnect erfolgreich - Verbunden "
        "mit Leser <" +
            Stack().ReaderName() + ">",
        "INFO ZEPH.Ext.PcSc <--- Ende: CZephExtensionPcSc::IsPresent",
        "INFO ZEPH.Ext.PcSc ---> Beginn: CZephExtensionPcSc::Transmit",
        "INFO ZEPH.Ext.PcSc <--- Ende: CZephExtensionPcSc::Transmit",
        "INFO ZEPH.Ext.PcSc ---> Beginn: CZephExtensionPcSc::IsAbsent",
        "INFO ZEPH.Ext.PcSc <--- Ende: CZephExtensionPcSc::IsAbsent",
    };
    const std::regex whole(
        R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} \[\d+\] \[\d+\] \w+ ZEPH\.\S+ .*)");
    std::vector<std::string> lines;
    for (const std::string& line : host.Lines()) {
        if (line.starts_with(kModuleTracePrefix)) {
            lines.push_back(line.substr(std::string_view(kModuleTracePrefix).size()));
            EXPECT_TRUE(std::regex_match(lines.back(), whole)) << "not a whole line: " << line;
        }
    }
    for (const std::string& text : wanted) {
        EXPECT_THAT(lines, ::testing::Contains(::testing::HasSubstr(text))) << host.Output();
    }
}

}  // namespace
}  // namespace realstack
