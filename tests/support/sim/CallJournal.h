// The record of every PC/SC call the simulator answered, in the order the calls returned, so that
// tests can assert which calls were made (or that none was) and with what arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pcsc/PcScHandles.h"
#include "sim/SimCall.h"

namespace sim {

// One call. Fields a call does not have stay 0 or empty.
struct JournalEntry {
    Call call = Call::EstablishContext;
    uint32_t result = 0;
    ScardContext context = 0;
    ScardHandle card = 0;
    // Connect: the reader asked for; calls on a card handle: the handle's reader.
    std::u16string reader{};
    uint32_t shareMode = 0;  // Connect, Reconnect
    uint32_t protocols = 0;  // Connect, Reconnect: the preferred protocols
    // Reconnect: the initialisation; Disconnect: the disposition.
    uint32_t disposition = 0;
    // Control: the control code; GetAttrib, SetAttrib: the attribute id; GetStatusChange: the
    // time-out.
    uint32_t argument = 0;
};

class CallJournal {
  public:
    void Record(JournalEntry entry) { m_entries.push_back(std::move(entry)); }
    void Clear() { m_entries.clear(); }
    const std::vector<JournalEntry>& Entries() const { return m_entries; }
    size_t Count(Call call) const;
    // The entries of one kind of call, in order.
    std::vector<JournalEntry> Of(Call call) const;

  private:
    std::vector<JournalEntry> m_entries;
};

}  // namespace sim
