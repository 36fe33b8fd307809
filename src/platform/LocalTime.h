// Local wall-clock time of day, and the full local date and time, as trace lines show them.
#pragma once

#include <cstdint>

namespace zeph::platform {

// A reading of the wall clock, taken cheaply when an event happens and turned into local time
// only when it is shown. The unit is the platform's own; only LocalTimeOfDayAt reads it.
struct WallClockReading {
    int64_t ticks = 0;
};

WallClockReading WallClockNow() noexcept;

struct LocalTimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The local time of day of a reading, under the time zone rules in force at that instant.
LocalTimeOfDay LocalTimeOfDayAt(WallClockReading reading) noexcept;

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
