// SCardGetStatusChange with WinSCard's contract, carried out on the pcsc-lite context of one wait.
//
// Where pcsc-lite 1.9.9 differs:
// - PnP pseudo-reader: WinSCard compares the reader count the caller puts into bits 16 and up of
//   the current state with the real count, returns at once with SCARD_STATE_CHANGED when they
//   differ and reports the real count in bits 16 and up of the event state. pcsc-lite ignores
//   the count and only notices readers that come or go during the wait. The count is taken from
//   a reader list before the wait (and again after it); a reader that arrives in the moment
//   between that list and pcscd registering the wait is noticed at the next wake-up only.
// - A reader that is gone makes pcsc-lite fail the whole call with SCARD_E_UNKNOWN_READER;
//   WinSCard reports that entry as SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED |
//   SCARD_STATE_IGNORE and returns at once with the other entries filled in.
// - Entries the caller ignores (SCARD_STATE_IGNORE) are not passed to pcsc-lite, so that a gone
//   ignored reader does not fail the call; their event state is left as it was.
// - pcsc-lite 1.9.9 knows at most 16 readers and takes at most 16 entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pcsc/PcScApi.h"
#include "pcsc/pcsclite/PcScLiteAbi.h"
#include "pcsc/pcsclite/PcScLiteWait.h"

namespace zeph::platform::pcsclite {

class PcScLiteStatusChange {
  public:
    PcScLiteStatusChange(const LiteFunctions& lite, PcScLiteWait& wait);

    uint32_t Run(uint32_t timeoutMs, PcScReaderState* states, uint32_t count);

  private:
    struct Entry {
        std::string name;
        bool pnp = false;
        bool ignored = false;
        bool unknown = false;
    };

    uint32_t Prepare(const PcScReaderState* states, uint32_t count);
    uint32_t ComparePnPCount(const PcScReaderState* states, bool* immediate);
    uint32_t WaitForChange(uint32_t timeoutMs, PcScReaderState* states, bool* immediate);
    uint32_t CallLite(uint32_t timeoutMs, const PcScReaderState* states);
    size_t ReadersToWaitOn() const;
    uint32_t MarkUnknownReaders(bool* marked);
    uint32_t ListReaderNames(std::vector<std::string>* names);
    void CopyResults(PcScReaderState* states) const;
    uint32_t ReportPnP(PcScReaderState& pnp, uint32_t result);

    const LiteFunctions& m_lite;
    PcScLiteWait& m_wait;
    std::vector<Entry> m_entries;
    std::vector<LiteReaderState> m_liteStates;
    std::vector<size_t> m_liteEntry;  // entry index of each pcsc-lite record
    int m_pnpIndex = -1;
    uint32_t m_callerCount = 0;  // the reader count the caller put into the PnP entry
};

}  // namespace zeph::platform::pcsclite
