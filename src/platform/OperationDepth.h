// Whether the calling thread is inside one of the module's operations: a per-thread depth that
// every public boundary raises on entry and lowers on exit. The crash handler acts on a fault only
// while it is above zero. Reading it never allocates, so a signal handler may ask.
#pragma once

namespace zeph::platform {

void EnterOperation() noexcept;
void LeaveOperation() noexcept;
// The number of boundaries the calling thread is inside; 0 outside the module.
unsigned OperationDepth() noexcept;

// Called on the calling thread as it enters its outermost boundary (true) and after it left it
// (false): the crash handler gives a marked thread what a fault needs for exactly that time and
// hands the thread back as it found it. One hook for the process; null for none.
using OperationEdgeHook = void (*)(bool entering) noexcept;
void SetOperationEdgeHook(OperationEdgeHook hook) noexcept;
// Runs the hook, if one is set (for the platform parts of EnterOperation and LeaveOperation).
void RunOperationEdgeHook(bool entering) noexcept;

// Raises the depth for its lifetime.
class OperationScope {
  public:
    OperationScope() noexcept { EnterOperation(); }
    ~OperationScope() { LeaveOperation(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
};

}  // namespace zeph::platform
