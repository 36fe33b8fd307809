#include "sim/CallJournal.h"

#include <algorithm>

namespace sim {

size_t CallJournal::Count(Call call) const {
    return static_cast<size_t>(
        std::count_if(m_entries.begin(), m_entries.end(),
                      [call](const JournalEntry& e) { return e.call == call; }));
}

std::vector<JournalEntry> CallJournal::Of(Call call) const {
    std::vector<JournalEntry> found;
    std::copy_if(m_entries.begin(), m_entries.end(), std::back_inserter(found),
                 [call](const JournalEntry& e) { return e.call == call; });
    return found;
}

}  // namespace sim
