#include "platform/LocalTime.h"

#include <windows.h>

namespace zeph::platform {

// The system time in 100-ns units since 1601 (UTC), as GetLocalTime reads it before it converts.
WallClockReading WallClockNow() noexcept {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return {static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) |
                                 now.dwLowDateTime)};
}

LocalTimeOfDay LocalTimeOfDayAt(WallClockReading reading) noexcept {
    const auto ticks = static_cast<uint64_t>(reading.ticks);
    const FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&fileTime, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return {};
    }
    return {local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}

LocalDateTime LocalDateTimeNow() noexcept {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wDay,    local.wMonth,  local.wYear,        local.wHour,
            local.wMinute, local.wSecond, local.wMilliseconds};
}

}  // namespace zeph::platform
