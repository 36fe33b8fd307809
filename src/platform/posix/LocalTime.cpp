#include "platform/LocalTime.h"

#include <time.h>

namespace zeph::platform {

LocalTimeOfDay LocalTimeOfDayNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr) {
        return {};
    }
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1'000'000)};
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
