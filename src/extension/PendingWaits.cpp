#include "extension/PendingWaits.h"

void PendingWaits::CancelUntilNoneOpen(ScardContext context, const std::function<void()>& cancel) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        lock.unlock();
        cancel();
        lock.lock();
        if (m_left.wait_for(lock, kCancelRepeat, [&] { return NoneOpen(context); })) {
            return;
        }
    }
}

void PendingWaits::Enter(ScardContext context) {
    const std::lock_guard lock(m_mutex);
    ++m_open[context];
}

void PendingWaits::Leave(ScardContext context) {
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_open.find(context);
        if (--found->second == 0) {
            m_open.erase(found);
        }
    }
    m_left.notify_all();
}
