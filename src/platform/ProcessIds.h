// The numbers of the calling process and thread, as trace lines show them.
#pragma once

#include <cstdint>

namespace zeph::platform {

// GetCurrentProcessId / getpid.
uint32_t CurrentProcessId() noexcept;
// GetCurrentThreadId / gettid (the kernel's thread number, not the pthread handle).
uint32_t CurrentThreadId() noexcept;

}  // namespace zeph::platform
