// Whether the simulated PC/SC service runs, with WinSCard's answers around a stop: while it is
// down a new context is refused with SCARD_E_NO_SERVICE; a context from before the stop, and
// every card handle of it, answers SCARD_E_SERVICE_STOPPED for ever (a restarted service does not
// know it), and its waits end with that result. Optionally the service stops when the last
// reader goes and starts again when a reader comes, as the Windows service does.
#pragma once

#include <optional>
#include <set>

#include "pcsc/PcScHandles.h"
#include "sim/CallJournal.h"
#include "sim/ConnectionTable.h"
#include "sim/ContextTable.h"

namespace sim {

class ServiceState {
  public:
    bool Running() const { return m_running; }
    bool StopsWithLastReader() const { return m_stopsWithLastReader; }
    void SetStopsWithLastReader(bool stops) { m_stopsWithLastReader = stops; }

    // Every context but `survivor` (the other application's, which the tests drive directly)
    // dies with its connections.
    void Stop(const ContextTable& contexts, ConnectionTable& connections, ScardContext survivor);
    void Start() { m_running = true; }

    // The answer the service gives a call before it looks at anything else, if any.
    std::optional<uint32_t> Refusal(Call call, ScardContext context, ScardHandle card) const;
    bool Dead(ScardContext context) const { return m_deadContexts.contains(context); }
    void Forget(ScardContext context) { m_deadContexts.erase(context); }

  private:
    bool m_running = true;
    bool m_stopsWithLastReader = false;
    std::set<ScardContext> m_deadContexts;
    std::set<ScardHandle> m_deadCards;
};

}  // namespace sim
