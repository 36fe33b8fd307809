#include "crash/win32/ThreadFaultFlags.h"

#include <windows.h>

#include <cstdint>

namespace ExceptionTranslator {

namespace {

constexpr uintptr_t kMarked = 1;
constexpr uintptr_t kInProcedure = 2;

// Allocated while the module loads, freed when it unloads.
class FlagSlot {
  public:
    FlagSlot() noexcept : m_index(TlsAlloc()) {}
    ~FlagSlot() {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsFree(m_index);
        }
    }
    FlagSlot(const FlagSlot&) = delete;
    FlagSlot& operator=(const FlagSlot&) = delete;

    uintptr_t Get() const noexcept {
        return m_index == TLS_OUT_OF_INDEXES ? 0
                                             : reinterpret_cast<uintptr_t>(TlsGetValue(m_index));
    }
    void Set(uintptr_t flags) const noexcept {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsSetValue(m_index, reinterpret_cast<void*>(flags));
        }
    }

  private:
    DWORD m_index;
};

const FlagSlot g_flags;

}  // namespace

bool ThreadIsMarked() noexcept {
    return (g_flags.Get() & kMarked) != 0;
}

void MarkThread() noexcept {
    g_flags.Set(g_flags.Get() | kMarked);
}

bool ThreadInProcedure() noexcept {
    return (g_flags.Get() & kInProcedure) != 0;
}

void SetThreadInProcedure(bool inside) noexcept {
    const uintptr_t flags = g_flags.Get();
    g_flags.Set(inside ? flags | kInProcedure : flags & ~kInProcedure);
}

}  // namespace ExceptionTranslator
