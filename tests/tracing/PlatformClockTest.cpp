#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/ProcessClock.h"

namespace {

TEST(ProcessClockTest, CountsMillisecondsSinceProcessStart) {
    const int32_t before = zeph::platform::ProcessClockMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const int32_t after = zeph::platform::ProcessClockMs();
    EXPECT_GE(before, 0);
    EXPECT_LT(before, 10 * 60 * 1000);  // the test program started moments ago
    EXPECT_GE(after - before, 50);
}

// A clock that ticks with the system timer (4 to 16 ms) never advances by a single millisecond.
TEST(ProcessClockTest, AdvancesInSingleMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int32_t smallestStep = INT32_MAX;
    int32_t last = zeph::platform::ProcessClockMs();
    while (smallestStep > 1 && std::chrono::steady_clock::now() < deadline) {
        const int32_t now = zeph::platform::ProcessClockMs();
        if (now != last) {
            smallestStep = std::min(smallestStep, now - last);
            last = now;
        }
    }
    EXPECT_EQ(smallestStep, 1);
}

}  // namespace
