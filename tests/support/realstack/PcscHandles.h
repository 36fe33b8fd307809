// Owners of pcsc-lite client handles, for the stack's own context (another application on the
// reader) and its card connections.
#pragma once

#include <winscard.h>

#include <cstddef>
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

  private:
    SCARDCONTEXT m_context = 0;
};

// A card connection, disconnected (leaving the card as it is) when it goes.
class PcscCard {
  public:
    // Connects; the result is in Status(), the handle valid only when it is SCARD_S_SUCCESS.
    PcscCard(const PcscContext& context, const std::string& reader, DWORD shareMode);
    ~PcscCard() {
        if (m_status == SCARD_S_SUCCESS) {
            SCardDisconnect(m_card, SCARD_LEAVE_CARD);
        }
    }
    PcscCard(const PcscCard&) = delete;
    PcscCard& operator=(const PcscCard&) = delete;

    LONG Status() const { return m_status; }

  private:
    SCARDHANDLE m_card = 0;
    DWORD m_protocol = 0;
    LONG m_status;
};

// "SCARD_E_SHARING_VIOLATION (0x8010000B)": for failure messages.
std::string DescribeResult(LONG result);

}  // namespace realstack
