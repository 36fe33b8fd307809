// The status-change waits the object has open, per context. A wait counts from just before its
// last check of the context and the cancel event until its SCardGetStatusChange has returned, so
// that a release of the context can keep cancelling until every wait that may still block on
// that context has returned: an SCardCancel that lands between a wait's checks and the moment it
// blocks is otherwise lost, and no platform promises that releasing the context ends the wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "pcsc/PcScHandles.h"

class PendingWaits {
  public:
    // How often a release repeats its SCardCancel while a wait has not returned.
    static constexpr std::chrono::milliseconds kCancelRepeat{5};

    // Marks one wait on a context as open for the life of the scope.
    class Scope {
      public:
        Scope(PendingWaits& waits, ScardContext context) : m_waits(waits), m_context(context) {
            m_waits.Enter(m_context);
        }
        ~Scope() { m_waits.Leave(m_context); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        PendingWaits& m_waits;
        const ScardContext m_context;
    };

    // Calls `cancel` once, then again every kCancelRepeat until no wait on the context is open.
    void CancelUntilNoneOpen(ScardContext context, const std::function<void()>& cancel);

  private:
    void Enter(ScardContext context);
    void Leave(ScardContext context);
    bool NoneOpen(ScardContext context) const { return !m_open.contains(context); }

    std::mutex m_mutex;
    std::condition_variable m_left;
    std::map<ScardContext, uint32_t> m_open;
};
