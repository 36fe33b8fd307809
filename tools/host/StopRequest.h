// The request to end the run, from a signal, the console, the run's time limit or the host
// itself. The first request names the reason and runs the stop action (the module's Cancel)
// once; the host's threads check Requested() between steps and pause through WaitFor, which a
// request cuts short.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class StopRequest {
  public:
    explicit StopRequest(std::function<void(const std::string& reason)> action);

    // True for the first request, which runs the action on the caller's thread; later ones do
    // nothing. Returns after the action has run, whichever request ran it.
    bool Request(const std::string& reason);
    bool Requested() const;
    std::string Reason() const;
    // Waits until the time has passed or a request came; true when a request came.
    bool WaitFor(std::chrono::milliseconds duration);

  private:
    std::function<void(const std::string&)> m_action;
    mutable std::mutex m_mutex;
    std::condition_variable m_requested;
    std::mutex m_actionMutex;  // held while the action runs
    bool m_stop = false;
    std::string m_reason;
};
