#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/ProcessClock.h"

namespace {

TEST(ProcessClockTest, CountsMillisecondsSinceProcessStart) {
    const int32_t before = zeph::platform::ProcessClockMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const int32_t after = zeph::platform::ProcessClockMs();
    EXPECT_GE(before, 0);
    EXPECT_LT(before, 10 * 60 * 1000);  // the test program started moments ago
    EXPECT_GE(after - before, 40);      // coarse clocks tick every 4 to 16 ms
}

}  // namespace
