#include "platform/LocalTime.h"

#include <time.h>

namespace zeph::platform {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
}  // namespace

// Nanoseconds since the epoch, read from the vDSO without a system call.
WallClockReading WallClockNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return {static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec};
}

LocalTimeOfDay LocalTimeOfDayAt(WallClockReading reading) noexcept {
    const auto seconds = static_cast<time_t>(reading.ticks / kNanosecondsPerSecond);
    const auto milliseconds = static_cast<int>(reading.ticks % kNanosecondsPerSecond / 1'000'000);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    return {local.tm_hour, local.tm_min, local.tm_sec, milliseconds};
}

LocalDateTime LocalDateTimeNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr) {
        return {};
    }
    return {local.tm_mday,
            local.tm_mon + 1,
            local.tm_year + 1900,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(now.tv_nsec / 1'000'000)};
}

}  // namespace zeph::platform
