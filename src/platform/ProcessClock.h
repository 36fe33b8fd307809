// Process clock: wall time elapsed since the process started, in milliseconds.
#pragma once

#include <cstdint>

namespace zeph::platform {

// Milliseconds since the module's static initialisation, as a signed 32-bit value that wraps
// after about 24 days; callers take differences in 32-bit arithmetic.
int32_t ProcessClockMs() noexcept;

// Replaces the clock with a fixed source so that tests can dictate elapsed times; nullptr
// restores the real clock. Not for production code.
using ProcessClockSource = int32_t (*)() noexcept;
void SetProcessClockForTesting(ProcessClockSource source) noexcept;

namespace detail {
// The platform's monotonic wall clock in milliseconds (posix/ and win32/ implement it).
int64_t MonotonicClockMs() noexcept;
}  // namespace detail

}  // namespace zeph::platform
