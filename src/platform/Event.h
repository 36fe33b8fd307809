// A Windows-style event over std::condition_variable: manual-reset events stay signalled until
// Reset, auto-reset events release one waiter and clear themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Event {
  public:
    enum class Mode { AutoReset, ManualReset };
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit Event(Mode mode, bool initiallySignalled = false) noexcept
        : m_bManualReset(mode == Mode::ManualReset), m_bSignalled(initiallySignalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits at most timeoutMs milliseconds (0 polls); true when the event was signalled. An
    // auto-reset event is consumed by a successful wait. kInfinite waits without a limit.
    bool Wait(uint32_t timeoutMs);
    // Waits without a time limit.
    void Wait();

  private:
    bool ConsumeLocked();

    std::mutex m_mutex;
    std::condition_variable m_condition;
    const bool m_bManualReset;
    bool m_bSignalled;
};
