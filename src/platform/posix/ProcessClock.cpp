#include "platform/ProcessClock.h"

#include <time.h>

namespace zeph::platform::detail {

// The monotonic clock is read from the vDSO without a system call and resolves far below a
// millisecond, so short method durations do not round down to zero (the coarse clock ticks
// only every few milliseconds).
int64_t MonotonicClockMs() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace zeph::platform::detail
