// The zeph_host program on the real stack, driven as a person (or scripts/host-demo.sh) drives
// it: the card goes in and out, the program runs its cycles, and Ctrl-C or a limit ends it.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include "ModuleTrace.h"
#include "StackFixture.h"

namespace realstack {
namespace {

// Wine starts a program in a few seconds.
constexpr std::chrono::milliseconds kStepTimeout{20000};

// Exit status of a wait status; -1 when the program did not end by itself.
int ExitStatus(const std::optional<int>& status) {
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

// The lines of the module's trace (zeph_host --trace), without their mark.
std::vector<std::string> ModuleLines(const ChildProcess& host) {
    std::vector<std::string> lines;
    for (const std::string& line : host.Lines()) {
        if (line.starts_with(kModuleTracePrefix)) {
            lines.push_back(line.substr(std::string_view(kModuleTracePrefix).size()));
        }
    }
    return lines;
}

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

class HostToolRealStackTest : public StackFixture {
  protected:
    // zeph_host (the Linux one unless given) with the further arguments; it reads the stack's
    // registry file.
    static ChildProcess::Options Host(std::vector<std::string> args,
                                      const HostLauncher& launcher = Launchers()[0]) {
        args.insert(args.begin(), launcher.command.begin(), launcher.command.end());
        return {args, false, {}};
    }
    // Expects the line, naming the program's output so far otherwise.
    void ExpectLine(ChildProcess& host, std::string_view text) {
        EXPECT_TRUE(host.WaitForLine(text, kStepTimeout, true))
            << "no line with \"" << text << ("\" in:\n" + host.Output());
    }
};

class HostCycleTest : public HostToolRealStackTest,
                      public ::testing::WithParamInterface<HostLauncher> {
  protected:
    ChildProcess::Options Launch(const std::vector<std::string>& args) {
        return Host(args, GetParam());
    }
    void ExpectFirstLines(ChildProcess& host) {
        for (const std::string& line : GetParam().firstLines) {
            ExpectLine(host, line);
        }
    }
};

TEST_P(HostCycleTest, RunsTheWantedCyclesAndEnds) {
    ChildProcess host(Launch({"--cycles", "1", "--apdu", "00A4000C023F00", "--apdu",
                              "00A4020C022F01", "--apdu", "00B0000005"}));
    ExpectFirstLines(host);
    ExpectLine(host, "cycle 1  IsPresent: waiting");
    VirtualCardProcess& card = Stack().StartCard({"", {"2F01=48656C6C6F"}, ""});
    ExpectLine(host, "IsPresent -> 0x00000000 STATUS_SUCCESS: card connected, protocol 2 T=1");
    ExpectLine(host, "ATR 3BBF96008131FE5D00640411000031C073F701D00090007F");
    ExpectLine(host, "reader \"" + Stack().ReaderName() + "\"");
    ExpectLine(host, "Transmit 00A4000C023F00 -> 0x00000000 STATUS_SUCCESS: SW 9000");
    ExpectLine(host,
               "Transmit 00B0000005 -> 0x00000000 STATUS_SUCCESS: SW 9000, data "
               "48656C6C6F = \"Hello\"");
    ExpectLine(host,
               "GetState -> 0x00000000 STATUS_SUCCESS: state 6 SCARD_SPECIFIC, "
               "protocol 2 T=1");
    ExpectLine(host, "exchange done");
    ASSERT_TRUE(card.Remove());
    ExpectLine(host, "IsAbsent -> 0x00000000 STATUS_SUCCESS: card removed");
    ExpectLine(host, "cycle 1  done");
    ExpectLine(host, "stop     all cycles done: Cancel");
    ExpectLine(host, "object destroyed");
    EXPECT_EQ(ExitStatus(host.WaitForExit(kStepTimeout)), 0) << host.Output();
    EXPECT_EQ(ModuleLines(host), std::vector<std::string>{}) << "no --trace: no trace";
}

TEST_F(HostToolRealStackTest, TraceInterleavesTheModulesWholeLinesWithTheHosts) {
    ChildProcess host(Host({"--cycles", "1", "--trace", "error,info,detail"}));
    ExpectLine(host, "cycle 1  IsPresent: waiting");
    VirtualCardProcess& card = Stack().StartCard();
    ExpectLine(host, "exchange done");
    ASSERT_TRUE(card.Remove());
    ExpectLine(host, "object destroyed");
    ASSERT_EQ(ExitStatus(host.WaitForExit(kStepTimeout)), 0) << host.Output();

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
    const std::vector<std::string> lines = ModuleLines(host);
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, whole)) << "not a whole line: " << line;
    }
    for (const std::string& text : wanted) {
        EXPECT_TRUE(std::ranges::any_of(
            lines, [&](const std::string& line) { return line.find(text) != std::string::npos; }))
            << text << " in:\n"
            << host.Output();
    }
}

TEST_F(HostToolRealStackTest, CtrlCAfterACycleCancelsTheWaitAndEndsCleanly) {
    ChildProcess host(Host({"--state-queries", "1"}));
    ExpectLine(host, "cycle 1  IsPresent: waiting");
    VirtualCardProcess& card = Stack().StartCard();
    ExpectLine(host, "exchange done");
    ASSERT_TRUE(card.Remove());
    ExpectLine(host, "cycle 1  done");
    ExpectLine(host, "cycle 2  IsPresent: waiting");

    ASSERT_EQ(kill(host.Pid(), SIGINT), 0);
    ExpectLine(host, "stop     SIGINT: Cancel");
    ExpectLine(host, "cycle 2  IsPresent -> 0x00000103 STATUS_PENDING: the wait was cancelled");
    ExpectLine(host, "end      1 cycle completed");
    EXPECT_EQ(ExitStatus(host.WaitForExit(kStepTimeout)), 0) << host.Output();
}

TEST_P(HostCycleTest, TimeLimitEndsARunWithoutCardWithStatus3) {
    ChildProcess host(Launch({"--cycles", "1", "--timeout-ms", "1500"}));
    ExpectFirstLines(host);
    ExpectLine(host, "stop     time limit of 1500 ms reached: Cancel");
    ExpectLine(host, "IsPresent -> 0x00000103 STATUS_PENDING");
    EXPECT_EQ(ExitStatus(host.WaitForExit(kStepTimeout)), 3) << host.Output();
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostCycleTest, ::testing::ValuesIn(Launchers()),
                         [](const auto& launcher) { return launcher.param.name; });

}  // namespace
}  // namespace realstack
