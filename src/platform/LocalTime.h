// Local wall-clock time of day, and the full local date and time, as trace lines show them.
#pragma once

namespace zeph::platform {

struct LocalTimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalTimeOfDay LocalTimeOfDayNow() noexcept;

// Day 1-31, month 1-12, four-digit year.
struct LocalDateTime {
    int day = 0;
    int month = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalDateTime LocalDateTimeNow() noexcept;

}  // namespace zeph::platform
