#include "StopRequest.h"

StopRequest::StopRequest(std::function<void(const std::string&)> action)
    : m_action(std::move(action)) {}

bool StopRequest::Request(const std::string& reason) {
    std::lock_guard action(m_actionMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_stop) {
            return false;
        }
        m_stop = true;
        m_reason = reason;
    }
    m_requested.notify_all();
    m_action(reason);
    return true;
}

bool StopRequest::Requested() const {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

std::string StopRequest::Reason() const {
    std::lock_guard lock(m_mutex);
    return m_reason;
}

bool StopRequest::WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return m_requested.wait_for(lock, duration, [this] { return m_stop; });
}
