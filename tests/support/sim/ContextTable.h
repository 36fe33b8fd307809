// The open resource-manager contexts. Each counts the cancellations it received, so that a wait
// can tell whether a Cancel came after it started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "pcsc/PcScHandles.h"

namespace sim {

class ContextTable {
  public:
    ScardContext Establish();
    bool Release(ScardContext context);
    bool Valid(ScardContext context) const { return m_cancels.contains(context); }
    bool Cancel(ScardContext context);
    // The number of cancellations so far; empty for a context that is not open.
    std::optional<uint64_t> Cancellations(ScardContext context) const;
    size_t Count() const { return m_cancels.size(); }
    std::vector<ScardContext> All() const;

  private:
    std::map<ScardContext, uint64_t> m_cancels;
    ScardContext m_next = 0xC0000001;
};

}  // namespace sim
