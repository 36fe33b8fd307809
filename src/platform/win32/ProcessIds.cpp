#include "platform/ProcessIds.h"

#include <windows.h>

namespace zeph::platform {

uint32_t CurrentProcessId() noexcept {
    return GetCurrentProcessId();
}

uint32_t CurrentThreadId() noexcept {
    return GetCurrentThreadId();
}

}  // namespace zeph::platform
