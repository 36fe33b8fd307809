// The open card handles and the sharing rules between them.
//
// Sharing: an exclusive or a direct connection admits no other connection to its reader; a shared
// connection admits other shared ones only. Handles whose card or reader has gone no longer
// count. A direct connection addresses the reader, not the card: it needs no card and never
// receives the removed-card or reset-card warnings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "pcsc/PcScHandles.h"

namespace sim {

// What the next call on a handle learns first.
enum class HandleWarning : uint8_t {
    None,
    Reset,       // another connection reset the card: reported once
    Removed,     // the card was taken out: reported until the handle is reconnected or closed
    ReaderGone,  // the reader was removed: reported until the handle is closed
};

struct SimConnection {
    ScardContext context = 0;
    uint64_t readerId = 0;
    std::u16string readerName{};
    uint32_t shareMode = 0;
    uint32_t protocol = 0;
    HandleWarning warning = HandleWarning::None;

    bool Live() const {
        return warning != HandleWarning::Removed && warning != HandleWarning::ReaderGone;
    }
};

class ConnectionTable {
  public:
    ScardHandle Open(SimConnection connection);
    SimConnection* Find(ScardHandle handle);
    void Close(ScardHandle handle);
    void CloseContext(ScardContext context);

    // SCARD_S_SUCCESS when a connection in `shareMode` may be added to the reader, not counting
    // `self` (a handle that is reconnecting); SCARD_E_SHARING_VIOLATION otherwise.
    uint32_t Admit(uint64_t readerId, uint32_t shareMode, ScardHandle self = 0) const;
    // SCARD_STATE_EXCLUSIVE and/or SCARD_STATE_INUSE as the reader's live connections imply.
    uint32_t SharingState(uint64_t readerId) const;

    void WarnCardRemoved(uint64_t readerId);
    void WarnReaderGone(uint64_t readerId);
    // The card was reset: every other live card connection to the reader is told once.
    void WarnCardReset(uint64_t readerId, ScardHandle except = 0);

    const std::map<ScardHandle, SimConnection>& All() const { return m_connections; }

  private:
    std::map<ScardHandle, SimConnection> m_connections;
    ScardHandle m_nextHandle = 0xCA000001;
};

}  // namespace sim
