#include "platform/ProcessIds.h"

#include <unistd.h>

namespace zeph::platform {

uint32_t CurrentProcessId() noexcept {
    return static_cast<uint32_t>(getpid());
}

uint32_t CurrentThreadId() noexcept {
    return static_cast<uint32_t>(gettid());
}

}  // namespace zeph::platform
