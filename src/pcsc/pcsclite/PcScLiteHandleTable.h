// The handles the pcsc-lite backend gives out: each context of the module stands for a
// PcScLiteContext, each card handle for a pcsc-lite card handle and the context it belongs to.
// Handles are numbers of their own, never reused, so a stale handle is answered as invalid.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "pcsc/PcScHandles.h"
#include "pcsc/pcsclite/PcScLiteAbi.h"
#include "pcsc/pcsclite/PcScLiteContext.h"

namespace zeph::platform::pcsclite {

struct PcScLiteCard {
    LiteHandle lite = 0;
    ScardContext owner = 0;
    std::shared_ptr<PcScLiteContext> context;
};

class PcScLiteHandleTable {
  public:
    ScardContext AddContext(std::shared_ptr<PcScLiteContext> context);
    std::shared_ptr<PcScLiteContext> FindContext(ScardContext handle) const;
    // Removes the context and every card handle of it.
    std::shared_ptr<PcScLiteContext> TakeContext(ScardContext handle);
    // Removes every context, for shutting down.
    std::vector<std::shared_ptr<PcScLiteContext>> TakeAllContexts();

    // 0 when the owning context has been released in the meantime.
    ScardHandle AddCard(LiteHandle lite, ScardContext owner);
    // False when the handle is unknown (never given out, disconnected, or its context released).
    bool FindCard(ScardHandle handle, PcScLiteCard* card) const;
    void RemoveCard(ScardHandle handle);

  private:
    mutable std::mutex m_mutex;
    std::unordered_map<ScardContext, std::shared_ptr<PcScLiteContext>> m_contexts;
    std::unordered_map<ScardHandle, PcScLiteCard> m_cards;
    ScardContext m_nextContext = 0x1000;
    ScardHandle m_nextCard = 0x100000;
};

}  // namespace zeph::platform::pcsclite
