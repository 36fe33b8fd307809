#include "sim/ContextTable.h"

namespace sim {

ScardContext ContextTable::Establish() {
    const ScardContext context = m_next++;
    m_cancels.emplace(context, 0);
    return context;
}

std::vector<ScardContext> ContextTable::All() const {
    std::vector<ScardContext> all;
    for (const auto& [context, cancels] : m_cancels) {
        all.push_back(context);
    }
    return all;
}

bool ContextTable::Release(ScardContext context) {
    return m_cancels.erase(context) == 1;
}

bool ContextTable::Cancel(ScardContext context) {
    const auto found = m_cancels.find(context);
    if (found == m_cancels.end()) {
        return false;
    }
    ++found->second;
    return true;
}

std::optional<uint64_t> ContextTable::Cancellations(ScardContext context) const {
    const auto found = m_cancels.find(context);
    if (found == m_cancels.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace sim
