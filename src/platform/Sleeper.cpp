#include "platform/Sleeper.h"

#include <chrono>
#include <thread>

namespace {

class ThreadSleeper final : public Sleeper {
  public:
    void SleepMs(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

Sleeper& PlatformSleeper() {
    static ThreadSleeper sleeper;
    return sleeper;
}
