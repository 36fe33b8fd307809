#include "platform/ProcessClock.h"

#include <windows.h>

namespace zeph::platform::detail {
namespace {

int64_t PerformanceFrequency() noexcept {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

}  // namespace

// The performance counter resolves far below a millisecond; the tick count advances only with
// the system timer (about 15.6 ms), which would show most method durations as zero.
int64_t MonotonicClockMs() noexcept {
    static const int64_t frequency = PerformanceFrequency();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const int64_t ticks = counter.QuadPart;
    return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

}  // namespace zeph::platform::detail
