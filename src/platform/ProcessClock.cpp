#include "platform/ProcessClock.h"

#include <atomic>

namespace zeph::platform {
namespace {

// Captured during static initialisation of the module.
const int64_t g_processStartMs = detail::MonotonicClockMs();

std::atomic<ProcessClockSource> g_testSource{nullptr};

}  // namespace

int32_t ProcessClockMs() noexcept {
    if (const ProcessClockSource source = g_testSource.load(std::memory_order_acquire)) {
        return source();
    }
    const auto elapsed = static_cast<uint64_t>(detail::MonotonicClockMs() - g_processStartMs);
    return static_cast<int32_t>(static_cast<uint32_t>(elapsed));
}

void SetProcessClockForTesting(ProcessClockSource source) noexcept {
    g_testSource.store(source, std::memory_order_release);
}

}  // namespace zeph::platform
