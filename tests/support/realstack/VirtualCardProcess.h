// A zeph_vcard child process: started with its options, driven through its standard input
// ("remove", "insert", "quit") and followed through the event lines it prints.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildProcess.h"
#include "OutputLines.h"

namespace realstack {

struct VirtualCardOptions {
    uint16_t port = 0x8C7B;
    std::string atr;                 // hex; empty for the card's predefined ATR
    std::vector<std::string> files;  // "FID=HEX" each
    std::string otherStatus;         // hex status word; empty for the card's default
    std::string dropOn;              // hex command prefix the card drops the connection on
};

class VirtualCardProcess {
  public:
    static constexpr std::chrono::milliseconds kEventTimeout{5000};

    // Starts the card; it connects to vpcd on its own (see WaitForEvent("connected")).
    explicit VirtualCardProcess(const VirtualCardOptions& options);
    ~VirtualCardProcess();
    VirtualCardProcess(const VirtualCardProcess&) = delete;
    VirtualCardProcess& operator=(const VirtualCardProcess&) = delete;

    // Closes the connection: the card leaves the reader. Waits for the card to confirm.
    bool Remove();
    // Connects again: the card enters the reader. Waits for the card to confirm.
    bool Insert();
    // Waits for the next event line starting with prefix (VirtualCard.h lists them).
    bool WaitForEvent(std::string_view prefix, std::chrono::milliseconds timeout = kEventTimeout);
    std::vector<std::string> Events() const { return m_events->Lines(); }
    // Asks the card to end by the command "quit"; its wait status, or none when it did not.
    std::optional<int> Quit();
    // Ends the card by SIGTERM (SIGKILL after a grace period); its wait status.
    int Stop();

  private:
    std::unique_ptr<ChildProcess> m_process;
    std::unique_ptr<OutputLines> m_events;
};

}  // namespace realstack
