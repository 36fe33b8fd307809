#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "StopSignals.h"

namespace {

sigset_t StopSet() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

struct StopSignals::State {
    std::function<void(const char*)> handler;
    std::atomic<bool> closing{false};
    std::thread waiter;
};

StopSignals::StopSignals(std::function<void(const char*)> handler)
    : m_state(std::make_unique<State>()) {
    m_state->handler = std::move(handler);
    const sigset_t signals = StopSet();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    State& state = *m_state;
    state.waiter = std::thread([&state] {
        const sigset_t wanted = StopSet();
        for (;;) {
            int signal = 0;
            if (sigwait(&wanted, &signal) != 0) {
                continue;
            }
            // The destructor wakes this thread with a signal of its own to end it.
            if (state.closing.load()) {
                return;
            }
            state.handler(signal == SIGINT ? "SIGINT" : "SIGTERM");
        }
    });
}

StopSignals::~StopSignals() {
    m_state->closing.store(true);
    // The waiter blocks SIGTERM and takes it from sigwait: a wake-up, not a kill.
    // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread)
    pthread_kill(m_state->waiter.native_handle(), SIGTERM);
    m_state->waiter.join();
}
