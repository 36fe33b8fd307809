// zeph_stack_server: the real Linux stack (RealScenarioStack.cpp) for a scenario program that runs
// elsewhere, such as the Windows scenarios under Wine 10 (RemoteScenarioStack.cpp). Listens on a
// loopback port; each connection gets a stack of its own, which goes when the connection closes.
// Commands, one a line, each answered "ok" or "error <what>" once done:
//   reader, insert <ATR hex>, remove, hold, release, stop, start
// ("reader" answers "ok <reader name>"). Runs inside run-in-namespace.sh or the Wine 10 stage.
//
//   zeph_stack_server PORT
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "ScenarioStack.h"
#include "platform/TextConversion.h"

namespace {

std::vector<uint8_t> ParseHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// One command on the stack; the answer without its line feed.
std::string Run(ScenarioStack& stack, const std::string& line) {
    const std::string command = line.substr(0, line.find(' '));
    const std::string argument =
        line.size() > command.size() ? line.substr(command.size() + 1) : "";
    const std::map<std::string, std::function<void()>> commands = {
        {"insert", [&] { stack.InsertCard(ParseHex(argument)); }},
        {"remove", [&] { stack.RemoveCard(); }},
        {"hold", [&] { stack.HoldCardExclusivelyElsewhere(); }},
        {"release", [&] { stack.ReleaseCardElsewhere(); }},
        {"stop", [&] { stack.StopService(); }},
        {"start", [&] { stack.StartService(); }}};
    if (command == "reader") {
        return "ok " + zeph::platform::WideToNarrow(stack.ReaderName());
    }
    const auto entry = commands.find(command);
    if (entry == commands.end()) {
        return "error unknown command " + command;
    }
    try {
        entry->second();
        return "ok";
    } catch (const std::exception& error) {
        std::string what = error.what();
        std::replace(what.begin(), what.end(), '\n', ' ');
        return "error " + what;
    }
}

// Serves one connection: a new stack, then its commands until the peer closes.
void Serve(int connection) {
    std::unique_ptr<ScenarioStack> stack;
    std::string answer;
    try {
        stack = MakeScenarioStack();
    } catch (const std::exception& error) {
        answer = std::string("error ") + error.what();
    }
    std::string line;
    char c = 0;
    while (read(connection, &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        std::printf("stack-server: %s\n", line.c_str());
        answer = (stack ? Run(*stack, line) : answer) + "\n";
        if (write(connection, answer.data(), answer.size()) !=
            static_cast<ssize_t>(answer.size())) {
            break;
        }
        line.clear();
    }
    close(connection);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zeph_stack_server PORT\n");
        return 2;
    }
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0) {
        std::perror("zeph_stack_server: cannot listen");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("stack-server: listening\n");
    std::fflush(stdout);
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection >= 0) {
            Serve(connection);
            std::fflush(stdout);
        }
    }
}
