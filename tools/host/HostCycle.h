// The host's cycle on one extension object, run the way the virtual reader driver runs it:
//   1. IsPresent waits for a card in any reader and connects it;
//   2. IsAbsent waits for the card's removal on a second thread (it opens the module's access
//      gate first), while this thread reads the physical reader's name, sends the commands and
//      queries the card's state;
//   3. once IsAbsent has returned, the next cycle begins with IsPresent.
// A stop request ends the run: its action calls Cancel, which ends whichever wait is running,
// and the cycle leaves off where it is. IsPresent failing on PC/SC is retried after a pause, as
// a host does while the PC/SC service is away.
#pragma once

#include <cstdint>
#include <vector>

#include "HostLog.h"
#include "HostOptions.h"
#include "StopRequest.h"
#include "zeph/ZephExtensionAbi.h"

class HostCycle {
  public:
    HostCycle(CZephExtensionAbstract& extension, const HostOptions& options, HostLog& log,
              StopRequest& stop);

    // Runs until the wanted number of cycles is complete or a stop is requested; the number of
    // completed cycles (card connected, used and removed).
    unsigned Run();

  private:
    enum class Presence { Connected, Cancelled, Failed };

    Presence WaitForCard(unsigned cycle, uint32_t& protocol);
    // Runs IsAbsent on a second thread while the commands go to the card; true when the wait
    // ended by the card's removal rather than by a stop request.
    bool UseCardUntilRemoved(unsigned cycle, uint32_t protocol);
    void Exchange(unsigned cycle, uint32_t protocol);
    void ShowReaderName(unsigned cycle);
    void Send(unsigned cycle, uint32_t protocol, const std::vector<uint8_t>& apdu);
    void QueryState(unsigned cycle);

    CZephExtensionAbstract& m_extension;
    const HostOptions& m_options;
    HostLog& m_log;
    StopRequest& m_stop;
};
