// A host that calls IsPresent again the moment it returns, on a thread of its own, for as long as
// it runs: the pattern whose CPU cost the outage benchmark measures. It keeps count of the calls
// it has begun and ended, and of the answers other than the expected one.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "zeph/ZephExtensionAbi.h"

class HostLoop {
  public:
    // Starts calling at once; expected is the answer every finished call should give.
    HostLoop(CZephExtensionAbstract& object, uint32_t expected);
    // Ends the loop: the call that is running is ended with the object's Cancel.
    ~HostLoop();
    HostLoop(const HostLoop&) = delete;
    HostLoop& operator=(const HostLoop&) = delete;

    pid_t ThreadId() const { return m_tid; }
    uint64_t Calls() const { return m_calls.load(); }
    uint64_t Returned() const { return m_returned.load(); }
    uint64_t Unexpected() const { return m_unexpected.load(); }
    uint32_t LastUnexpected() const { return m_lastUnexpected.load(); }

  private:
    void Run();

    CZephExtensionAbstract& m_object;
    const uint32_t m_expected;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_stopped{false};
    std::atomic<uint64_t> m_calls{0};
    std::atomic<uint64_t> m_returned{0};
    std::atomic<uint64_t> m_unexpected{0};
    std::atomic<uint32_t> m_lastUnexpected{0};
    std::atomic<pid_t> m_tid{0};
    std::thread m_thread;
};
