// Owners of pcsc-lite client handles, and the reader-state queries the tests wait on.
#pragma once

#include <winscard.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace realstack {

class PcscContext {
  public:
    // Throws std::runtime_error when no context can be established.
    PcscContext();
    ~PcscContext();
    PcscContext(const PcscContext&) = delete;
    PcscContext& operator=(const PcscContext&) = delete;

    SCARDCONTEXT Handle() const { return m_context; }
    // Empty when no reader is there (or listing failed).
    std::vector<std::string> ListReaders() const;
    // One SCardGetStatusChange with timeout 0 from SCARD_STATE_UNAWARE.
    SCARD_READERSTATE CurrentState(const std::string& reader) const;
    // Polls the reader's state until every bit of wanted is set; the last state seen, or none
    // at the deadline.
    std::optional<SCARD_READERSTATE> WaitForState(const std::string& reader, DWORD wanted,
                                                  std::chrono::milliseconds timeout) const;

  private:
    SCARDCONTEXT m_context = 0;
};

// A card connection, disconnected (leaving the card as it is) when it goes.
class PcscCard {
  public:
    // Connects; the result is in Status(), the handle valid only when it is SCARD_S_SUCCESS.
    PcscCard(const PcscContext& context, const std::string& reader, DWORD shareMode,
             DWORD protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1);
    ~PcscCard();
    PcscCard(const PcscCard&) = delete;
    PcscCard& operator=(const PcscCard&) = delete;

    LONG Status() const { return m_status; }
    SCARDHANDLE Handle() const { return m_card; }
    DWORD Protocol() const { return m_protocol; }
    LONG Disconnect();
    // Sends a command with the protocol of the connection; the result code, and the response
    // when it succeeded.
    LONG Transmit(const std::vector<uint8_t>& command, std::vector<uint8_t>& response) const;

  private:
    SCARDHANDLE m_card = 0;
    DWORD m_protocol = 0;
    LONG m_status;
};

// "SCARD_E_SHARING_VIOLATION (0x8010000B)": for failure messages.
std::string DescribeResult(LONG result);

}  // namespace realstack
