// Local wall-clock time of day, as trace lines show it.
#pragma once

namespace zeph::platform {

struct LocalTimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalTimeOfDay LocalTimeOfDayNow() noexcept;

}  // namespace zeph::platform
