#include "HostLoop.h"

#include <chrono>

#include "BackgroundCall.h"

HostLoop::HostLoop(CZephExtensionAbstract& object, uint32_t expected)
    : m_object(object), m_expected(expected), m_thread([this] { Run(); }) {
    while (m_tid.load() == 0) {
        std::this_thread::yield();
    }
}

// A Cancel that comes between two calls could leave the next one waiting: Cancel is repeated
// until the loop has seen its end.
HostLoop::~HostLoop() {
    m_stop.store(true);
    while (!m_stopped.load()) {
        m_object.Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_thread.join();
}

void HostLoop::Run() {
    m_tid.store(realstack::CurrentThreadId());
    while (!m_stop.load()) {
        m_calls.fetch_add(1);
        const uint32_t status = m_object.IsPresent(nullptr, nullptr, nullptr, nullptr);
        m_returned.fetch_add(1);
        if (status != m_expected && !m_stop.load()) {
            m_unexpected.fetch_add(1);
            m_lastUnexpected.store(status);
        }
    }
    m_stopped.store(true);
}
