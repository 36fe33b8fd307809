// The process clock counts milliseconds: its advance over a sleep lies between the advances of a
// reference clock read just inside and just outside the two readings of the process clock.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/ProcessClock.h"

namespace {

TEST(ProcessClockTest, CountsMillisecondsSinceProcessStart) {
    using std::chrono::steady_clock;
    const auto outerStart = steady_clock::now();
    const int32_t start = zeph::platform::ProcessClockMs();
    const auto innerStart = steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto innerEnd = steady_clock::now();
    const int32_t end = zeph::platform::ProcessClockMs();
    const auto outerEnd = steady_clock::now();
    const auto ms = [](steady_clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    EXPECT_GE(start, 0);
    EXPECT_LT(start, 10 * 60 * 1000);  // the test program started moments ago
    // One millisecond either way for the rounding of each clock.
    EXPECT_GE(end - start, ms(innerEnd - innerStart) - 2);
    EXPECT_LE(end - start, ms(outerEnd - outerStart) + 2);
}

}  // namespace
