// Pauses of the calling thread. The extension's retry and back-off waits go through this seam so
// that tests can observe them instead of waiting.
#pragma once

#include <cstdint>

class Sleeper {
  public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(uint32_t milliseconds) = 0;
};

// Really sleeps.
Sleeper& PlatformSleeper();
