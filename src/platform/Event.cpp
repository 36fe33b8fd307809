#include "platform/Event.h"

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignalled = true;
    }
    if (m_bManualReset) {
        m_condition.notify_all();
    } else {
        m_condition.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = false;
}

bool Event::ConsumeLocked() {
    if (!m_bSignalled) {
        return false;
    }
    if (!m_bManualReset) {
        m_bSignalled = false;
    }
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    if (timeoutMs == kInfinite) {
        Wait();
        return true;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs > 0) {
        m_condition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return m_bSignalled; });
    }
    return ConsumeLocked();
}

void Event::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_condition.wait(lock, [this] { return m_bSignalled; });
    ConsumeLocked();
}
