// The virtual card's main loop: waits in poll() on the reader driver's connection, the command
// input and the stop descriptor, answers the driver, and follows the commands "remove" (close
// the connection: card removed), "insert" (connect again) and "quit".
//
// One line per event goes to standard output, flushed at once: connected, connect-failed,
// removed, disconnected (the driver closed the connection), power-on, power-off, reset, atr,
// "apdu COMMAND RESPONSE" (hex), "dropped COMMAND" (hex, see VcardOptions::dropOn and
// dropAfter), "unanswered COMMAND" (hex, VcardOptions::silent), "error TEXT".
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ApduResponder.h"
#include "VcardOptions.h"
#include "VpcdConnection.h"

namespace vcard {

class VirtualCard {
  public:
    // commandFd: the command lines; stopFd: readable when the card shall stop (a signalfd).
    VirtualCard(const VcardOptions& options, int commandFd, int stopFd);

    // Runs until "quit", the end of the commands or a stop; 0, or 1 when the first connection
    // could not be made before the deadline.
    int Run();

  private:
    using Clock = std::chrono::steady_clock;

    void StartConnecting();
    void TryConnect(Clock::time_point now);
    int PollTimeoutMs(Clock::time_point now) const;
    bool OnCommandInput();
    bool OnCommand(std::string_view command);
    void OnReaderMessage();
    // True when the command is to be dropped (VcardOptions::dropOn, dropAfter).
    bool Drops(const std::vector<uint8_t>& command) const;
    void Answer(const std::vector<uint8_t>& command);
    void AnswerControl(uint8_t code);
    void Disconnect(const char* event);
    static void Emit(const std::string& line);

    const VcardOptions& m_options;
    ApduResponder m_responder;
    int m_commandFd;
    int m_stopFd;
    bool m_commandsOpen = true;
    bool m_firstConnection = true;
    bool m_failed = false;
    std::unique_ptr<VpcdConnection> m_connection;
    std::optional<Clock::time_point> m_connectDeadline;  // set while connecting
    Clock::time_point m_nextAttempt;
    std::string m_pendingInput;
    uint32_t m_commands = 0;  // received on the current connection
};

}  // namespace vcard
