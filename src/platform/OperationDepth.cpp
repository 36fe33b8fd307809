#include "platform/OperationDepth.h"

#include <atomic>

namespace zeph::platform {

namespace {

std::atomic<OperationEdgeHook> g_edgeHook{nullptr};

}  // namespace

void SetOperationEdgeHook(OperationEdgeHook hook) noexcept {
    g_edgeHook.store(hook, std::memory_order_release);
}

void RunOperationEdgeHook(bool entering) noexcept {
    const OperationEdgeHook hook = g_edgeHook.load(std::memory_order_acquire);
    if (hook != nullptr) {
        hook(entering);
    }
}

}  // namespace zeph::platform
