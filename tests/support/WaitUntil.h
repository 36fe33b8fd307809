// Polling with a deadline, the one way the tests wait for something they cannot be told of.
#pragma once

#include <chrono>
#include <thread>

// Asks done every interval until it holds; false when it still does not at the deadline.
template <typename Done>
bool WaitUntil(Done&& done, std::chrono::milliseconds timeout,
               std::chrono::microseconds interval = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
    return true;
}
