// The shared scenarios' stack for the Windows build on a real PC/SC service: the WinSCard backend
// (under Wine 10, whose winscard passes each call to pcsc-lite) as the module's seam, and the
// world behind it changed by zeph_stack_server (StackServer.cpp) over a loopback connection:
// each change is one command line, answered once done. scripts/wine10-stage.sh runs both.
#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "InterceptingPcSc.h"
#include "ScenarioStack.h"
#include "pcsc/winscard/WinSCardBackend.h"
#include "platform/TextConversion.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWaitSettled = std::chrono::milliseconds(100);
constexpr uint16_t kDefaultPort = 35900;

// ZEPH_STACK_SERVER_PORT, or kDefaultPort.
uint16_t ServerPort() {
    const char* port = std::getenv("ZEPH_STACK_SERVER_PORT");
    return port != nullptr ? static_cast<uint16_t>(std::atoi(port)) : kDefaultPort;
}

class RemoteScenarioStack final : public ScenarioStack {
  public:
    // Connects to the server; throws when there is none.
    RemoteScenarioStack() {
        WSADATA data{};
        Require(WSAStartup(MAKEWORD(2, 2), &data) == 0, "WSAStartup failed");
        const SOCKET peer = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        m_socket = peer;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(ServerPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Require(peer != INVALID_SOCKET &&
                    connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0,
                "no zeph_stack_server on the loopback port " + std::to_string(ServerPort()));
        m_reader = zeph::platform::NarrowToWide(Command("reader"));
        // Every status change counts while it runs; one that does not wait is over long before
        // it could count as settled.
        m_api.beforeStatusChange = [this](uint32_t) {
            m_lastWaitStart = Clock::now().time_since_epoch().count();
            ++m_waits;
        };
        m_api.afterStatusChange = [this](uint32_t) { --m_waits; };
    }
    ~RemoteScenarioStack() override {
        closesocket(m_socket);  // the server's stack goes with the connection
        WSACleanup();
    }

    PcScApi& Api() override { return m_api; }
    std::u16string ReaderName() const override { return m_reader; }
    void InsertCard(const std::vector<uint8_t>& atr) override { Command("insert " + HexText(atr)); }
    void RemoveCard() override { Command("remove"); }
    void HoldCardExclusivelyElsewhere() override { Command("hold"); }
    void ReleaseCardElsewhere() override { Command("release"); }
    void StopService() override { Command("stop"); }
    void StartService() override { Command("start"); }
    // Wine 10's winscard has no SCardLocateCardsByATRW: calling it ends the process.
    std::string Lacks(const std::string& call) const override {
        return call == "LocateCardsByATR" ? "Wine 10's winscard does not implement "
                                            "SCardLocateCardsByATRW (the call aborts the process)"
                                          : "";
    }
    // Status-change calls in progress, once the latest has run for a while: a wait counts once
    // it has had time to reach pcsc-lite beneath Wine, which a Cancel needs to find it.
    size_t WaitsInProgress(ScardContext /*context*/) const override {
        const Clock::time_point last{Clock::duration(m_lastWaitStart.load())};
        return Clock::now() - last >= kWaitSettled ? m_waits.load() : 0;
    }

  private:
    // Sends the command and returns what follows "ok"; throws with the server's error.
    std::string Command(const std::string& line) {
        const std::string sent = line + "\n";
        Require(send(m_socket, sent.data(), static_cast<int>(sent.size()), 0) ==
                    static_cast<int>(sent.size()),
                "zeph_stack_server: cannot send " + line);
        std::string answer;
        char c = 0;
        while (recv(m_socket, &c, 1, 0) == 1 && c != '\n') {
            answer += c;
        }
        Require(answer.starts_with("ok"), line + ": " + (answer.empty() ? "no answer" : answer));
        return answer.size() > 3 ? answer.substr(3) : "";
    }

    uintptr_t m_socket;
    WinSCardBackend m_backend;
    InterceptingPcSc m_api{m_backend};
    std::u16string m_reader;
    std::atomic<size_t> m_waits{0};
    std::atomic<Clock::rep> m_lastWaitStart{0};
};

}  // namespace

std::unique_ptr<ScenarioStack> MakeScenarioStack() {
    return std::make_unique<RemoteScenarioStack>();
}
