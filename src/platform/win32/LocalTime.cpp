#include "platform/LocalTime.h"

#include <windows.h>

namespace zeph::platform {

LocalTimeOfDay LocalTimeOfDayNow() noexcept {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}

LocalDateTime LocalDateTimeNow() noexcept {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wDay,    local.wMonth,  local.wYear,        local.wHour,
            local.wMinute, local.wSecond, local.wMilliseconds};
}

}  // namespace zeph::platform
