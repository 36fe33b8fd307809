#include "platform/ProcessClock.h"

#include <time.h>

namespace zeph::platform::detail {

// The coarse monotonic clock is read from the vDSO without a system call; its resolution of a
// few milliseconds is enough for method durations.
int64_t MonotonicClockMs() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace zeph::platform::detail
