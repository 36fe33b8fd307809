// Turns the user's request to end the program into a call of the handler, on a thread where the
// handler may do anything (the module's Cancel included), never inside a signal handler:
// - Linux: SIGINT and SIGTERM, taken by a thread of its own with sigwait;
// - Windows: Ctrl-C, Ctrl-Break and closing the console, through the console control handler.
//
// On Linux the constructor blocks the two signals for the calling thread, so it must run before
// the program starts any other thread (threads inherit the blocked set).
#pragma once

#include <functional>
#include <memory>

class StopSignals {
  public:
    // The handler receives the signal's or the event's name.
    explicit StopSignals(std::function<void(const char* name)> handler);
    // Returns once no handler call runs any more and none can start.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};
