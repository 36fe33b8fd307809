#include "platform/OperationDepth.h"

#include <windows.h>

#include <cstdint>

namespace zeph::platform {

namespace {

// A TLS slot rather than thread_local: MinGW's emulated TLS has been seen to lose stores at -O2.
// Allocated while the module loads, freed when it unloads.
class DepthSlot {
  public:
    DepthSlot() noexcept : m_index(TlsAlloc()) {}
    ~DepthSlot() {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsFree(m_index);
        }
    }
    DepthSlot(const DepthSlot&) = delete;
    DepthSlot& operator=(const DepthSlot&) = delete;

    unsigned Get() const noexcept {
        return m_index == TLS_OUT_OF_INDEXES
                   ? 0u
                   : static_cast<unsigned>(reinterpret_cast<uintptr_t>(TlsGetValue(m_index)));
    }
    void Set(unsigned depth) const noexcept {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsSetValue(m_index, reinterpret_cast<void*>(static_cast<uintptr_t>(depth)));
        }
    }

  private:
    DWORD m_index;
};

const DepthSlot g_depth;

}  // namespace

void EnterOperation() noexcept {
    const unsigned depth = g_depth.Get();
    g_depth.Set(depth + 1);
    if (depth == 0) {
        RunOperationEdgeHook(true);
    }
}

void LeaveOperation() noexcept {
    const unsigned depth = g_depth.Get() - 1;
    g_depth.Set(depth);
    if (depth == 0) {
        RunOperationEdgeHook(false);
    }
}

unsigned OperationDepth() noexcept {
    return g_depth.Get();
}

}  // namespace zeph::platform
