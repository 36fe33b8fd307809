#include "RemoteScenarioStack.h"

#include <winsock2.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/TextConversion.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWaitSettled = std::chrono::milliseconds(100);

uint16_t ServerPort() {
    const char* port = std::getenv("ZEPH_STACK_SERVER_PORT");
    return port != nullptr ? static_cast<uint16_t>(std::atoi(port))
                           : RemoteScenarioStack::kDefaultPort;
}

}  // namespace

RemoteScenarioStack::RemoteScenarioStack() {
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
    // Every status change counts while it runs; one that does not wait is over long before it
    // could count as settled.
    m_api.beforeStatusChange = [this](uint32_t) {
        m_lastWaitStart = Clock::now().time_since_epoch().count();
        ++m_waits;
    };
    m_api.afterStatusChange = [this](uint32_t) { --m_waits; };
}

RemoteScenarioStack::~RemoteScenarioStack() {
    closesocket(m_socket);  // the server's stack goes with the connection
    WSACleanup();
}

void RemoteScenarioStack::InsertCard(const std::vector<uint8_t>& atr) {
    Command("insert " + HexText(atr));
}

std::string RemoteScenarioStack::Lacks(const std::string& call) const {
    // Wine 10's winscard has no SCardLocateCardsByATRW: calling it ends the process.
    return call == "LocateCardsByATR" ? "Wine 10's winscard does not implement "
                                        "SCardLocateCardsByATRW (the call aborts the process)"
                                      : "";
}

size_t RemoteScenarioStack::WaitsInProgress(ScardContext /*context*/) const {
    const Clock::time_point last{Clock::duration(m_lastWaitStart.load())};
    return Clock::now() - last >= kWaitSettled ? m_waits.load() : 0;
}

std::string RemoteScenarioStack::Command(const std::string& line) {
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
