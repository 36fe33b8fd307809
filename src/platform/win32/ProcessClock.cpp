#include "platform/ProcessClock.h"

#include <windows.h>

namespace zeph::platform::detail {

int64_t MonotonicClockMs() noexcept {
    return static_cast<int64_t>(GetTickCount64());
}

}  // namespace zeph::platform::detail
