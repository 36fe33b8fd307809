// Whether the calling thread is inside one of the module's operations: a per-thread depth that
// every public boundary raises on entry and lowers on exit. The crash handler acts on a fault only
// while it is above zero. Reading it never allocates, so a signal handler may ask.
#pragma once

namespace zeph::platform {

void EnterOperation() noexcept;
void LeaveOperation() noexcept;
// The number of boundaries the calling thread is inside; 0 outside the module.
unsigned OperationDepth() noexcept;

// Raises the depth for its lifetime.
class OperationScope {
  public:
    OperationScope() noexcept { EnterOperation(); }
    ~OperationScope() { LeaveOperation(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
};

}  // namespace zeph::platform
