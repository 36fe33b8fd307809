#include "VirtualCard.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <thread>
#include <vector>

#include "Hex.h"

using zeph::tools::ToHex;

namespace vcard {

namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};
constexpr size_t kMaxCommandLength = 256;

enum ControlCode : uint8_t { kPowerOff = 0, kPowerOn = 1, kReset = 2, kGetAtr = 4 };

bool Readable(const pollfd& entry) {
    return (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace

VirtualCard::VirtualCard(const VcardOptions& options, int commandFd, int stopFd)
    : m_options(options),
      m_responder(options.files, options.otherStatus),
      m_commandFd(commandFd),
      m_stopFd(stopFd) {}

int VirtualCard::Run() {
    StartConnecting();
    TryConnect(Clock::now());
    while (!m_failed) {
        std::vector<pollfd> fds{{m_stopFd, POLLIN, 0}};
        if (m_commandsOpen) {
            fds.push_back({m_commandFd, POLLIN, 0});
        }
        if (m_connection) {
            fds.push_back({m_connection->Socket(), POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), PollTimeoutMs(Clock::now())) < 0 && errno != EINTR) {
            Emit("error poll failed");
            return 1;
        }
        if (Readable(fds[0])) {
            return 0;
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!Readable(fds[i])) {
                continue;
            }
            if (fds[i].fd == m_commandFd && !OnCommandInput()) {
                return 0;
            }
            if (m_connection && fds[i].fd == m_connection->Socket()) {
                OnReaderMessage();
            }
        }
        if (m_connectDeadline && Clock::now() >= m_nextAttempt) {
            TryConnect(Clock::now());
        }
    }
    return 1;
}

void VirtualCard::StartConnecting() {
    const Clock::time_point now = Clock::now();
    m_connectDeadline = now + m_options.connectTimeout;
    m_nextAttempt = now;
}

void VirtualCard::TryConnect(Clock::time_point now) {
    std::string error;
    m_connection = VpcdConnection::Connect(m_options.host, m_options.port, error);
    if (m_connection) {
        m_connectDeadline.reset();
        m_firstConnection = false;
        m_commands = 0;
        m_responder.Reset();
        Emit("connected");
        return;
    }
    m_nextAttempt = now + kRetryInterval;
    if (now >= *m_connectDeadline) {
        m_connectDeadline.reset();
        Emit("connect-failed " + error);
        m_failed = m_firstConnection;
    }
}

int VirtualCard::PollTimeoutMs(Clock::time_point now) const {
    if (!m_connectDeadline) {
        return -1;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_nextAttempt - now);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
}

bool VirtualCard::OnCommandInput() {
    char buffer[256];
    const ssize_t got = read(m_commandFd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        m_commandsOpen = false;
        return false;
    }
    m_pendingInput.append(buffer, static_cast<size_t>(got));
    size_t end;
    while ((end = m_pendingInput.find('\n')) != std::string::npos) {
        const std::string line = m_pendingInput.substr(0, end);
        m_pendingInput.erase(0, end + 1);
        if (!OnCommand(line)) {
            return false;
        }
    }
    if (m_pendingInput.size() > kMaxCommandLength) {
        m_pendingInput.clear();
        Emit("error command too long");
    }
    return true;
}

bool VirtualCard::OnCommand(std::string_view command) {
    if (command.ends_with('\r')) {
        command.remove_suffix(1);
    }
    if (command == "quit") {
        return false;
    }
    if (command == "remove") {
        if (m_connection || m_connectDeadline) {
            m_connectDeadline.reset();
            Disconnect("removed");
        } else {
            Emit("error not inserted");
        }
    } else if (command == "insert") {
        if (m_connection || m_connectDeadline) {
            Emit("error already inserted");
        } else {
            StartConnecting();
        }
    } else if (!command.empty()) {
        Emit("error unknown command " + std::string(command));
    }
    return true;
}

void VirtualCard::OnReaderMessage() {
    const std::optional<std::vector<uint8_t>> message = m_connection->ReadFrame();
    if (!message) {
        Disconnect("disconnected");
    } else if (message->size() == 1) {
        AnswerControl((*message)[0]);
    } else {
        ++m_commands;
        if (Drops(*message)) {
            Disconnect(("dropped " + ToHex(*message)).c_str());
        } else if (m_options.silent) {
            Emit("unanswered " + ToHex(*message));
        } else {
            Answer(*message);
        }
    }
}

bool VirtualCard::Drops(const std::vector<uint8_t>& command) const {
    if (m_options.dropAfter != 0 && m_commands == m_options.dropAfter) {
        return true;
    }
    const std::vector<uint8_t>& prefix = m_options.dropOn;
    return !prefix.empty() && command.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), command.begin());
}

// The delay blocks the whole card, commands on standard input included, as a slow card would
// block its reader.
void VirtualCard::Answer(const std::vector<uint8_t>& command) {
    if (m_options.answerDelay.count() > 0) {
        std::this_thread::sleep_for(m_options.answerDelay);
    }
    const std::vector<uint8_t> response = m_responder.Respond(command);
    if (!m_connection->WriteFrame(response)) {
        Disconnect("disconnected");
        return;
    }
    Emit("apdu " + ToHex(command) + " " + ToHex(response));
}

void VirtualCard::AnswerControl(uint8_t code) {
    switch (code) {
        case kPowerOff:
            m_responder.Reset();
            Emit("power-off");
            break;
        case kPowerOn:
            m_responder.Reset();
            Emit("power-on");
            break;
        case kReset:
            m_responder.Reset();
            Emit("reset");
            break;
        case kGetAtr:
            if (!m_connection->WriteFrame(m_options.atr)) {
                Disconnect("disconnected");
                return;
            }
            Emit("atr");
            break;
        default:
            Emit("error unknown control " + ToHex(std::span<const uint8_t>(&code, 1)));
    }
}

void VirtualCard::Disconnect(const char* event) {
    m_connection.reset();
    Emit(event);
}

void VirtualCard::Emit(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace vcard
