#include "platform/OperationDepth.h"

namespace zeph::platform {

namespace {

// Initial-exec: the variable lives in the static TLS block, so that a read from a signal handler
// on any thread, even one that never ran an operation, is a plain load without allocation.
__attribute__((tls_model("initial-exec"))) thread_local unsigned t_depth = 0;

}  // namespace

void EnterOperation() noexcept {
    if (t_depth++ == 0) {
        RunOperationEdgeHook(true);
    }
}

void LeaveOperation() noexcept {
    if (--t_depth == 0) {
        RunOperationEdgeHook(false);
    }
}

unsigned OperationDepth() noexcept {
    return t_depth;
}

}  // namespace zeph::platform
