// One blocking call of the module on a thread of its own, as the host makes IsPresent and
// IsAbsent: the test learns the thread's id (to see it block in its PC/SC wait, below)
// and takes the result with a deadline. A call still running when the object goes is ended by the
// given abandon action (the module's Cancel) before the thread is joined, so a failed test cannot
// hang.
//
// What the real-stack tests and benchmarks poll (WaitUntil.h) to tell from outside a thread that it
// is blocked in a pcsc-lite status-change wait (SCardGetStatusChange), as IsPresent and IsAbsent
// are while they wait for a card, rather than running, waiting for a lock, or waiting for pcscd's
// answer to a request. A test must know this before it causes the event the wait is for: an event
// or a Cancel that comes earlier takes another path through the module.
//
// pcsc-lite (1.9) waits for a status change in poll() with a finite timeout, slice after slice;
// it waits for the answer to a request in poll() without a timeout. Linux only: reads /proc.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "WaitUntil.h"

namespace realstack {

// The calling thread's id as /proc names it.
pid_t CurrentThreadId();

// True once the thread (of this process) sleeps in poll() or ppoll() with a timeout on several
// reads in a row; false at the deadline.
bool WaitUntilInStatusChangeWait(pid_t thread, std::chrono::milliseconds timeout);

// The scheduler state letter of a /proc stat file ('S': sleeping): the field after the command
// name in parentheses, which may itself hold spaces and parentheses.
char SchedulerState(const std::filesystem::path& statFile);

template <typename Result>
class BackgroundCall {
  public:
    BackgroundCall(std::function<Result()> call, std::function<void()> abandon)
        : m_abandon(std::move(abandon)), m_task(std::move(call)), m_result(m_task.get_future()) {
        std::promise<pid_t> started;
        std::future<pid_t> threadId = started.get_future();
        m_thread = std::thread([this, started = std::move(started)]() mutable {
            started.set_value(CurrentThreadId());
            m_task();
        });
        m_tid = threadId.get();
    }
    ~BackgroundCall() {
        if (!Returned()) {
            m_abandon();
        }
        m_thread.join();
    }
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    // True once the call is blocked in its PC/SC wait (see above).
    bool WaitUntilWaiting(std::chrono::milliseconds timeout) const {
        return WaitUntilInStatusChangeWait(m_tid, timeout);
    }
    bool Returned() const {
        return !m_result.valid() ||
               m_result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    // The call's result once it has returned; none at the deadline, and at every later call
    // after the result was taken.
    std::optional<Result> Get(std::chrono::milliseconds timeout) {
        if (!m_result.valid() || m_result.wait_for(timeout) != std::future_status::ready) {
            return std::nullopt;
        }
        return m_result.get();
    }

  private:
    std::function<void()> m_abandon;
    std::packaged_task<Result()> m_task;
    std::future<Result> m_result;
    pid_t m_tid = 0;
    std::thread m_thread;
};

}  // namespace realstack
