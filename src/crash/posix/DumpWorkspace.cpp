#include "crash/posix/DumpWorkspace.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <new>

namespace ExceptionTranslator::minidump {
namespace {

std::atomic<DumpWorkspace*> g_workspace{nullptr};

}  // namespace

bool ReserveWorkspace() noexcept {
    if (g_workspace.load(std::memory_order_acquire) != nullptr) {
        return true;
    }
    void* memory = mmap(nullptr, sizeof(DumpWorkspace), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return false;
    }
    auto* workspace = new (memory) DumpWorkspace;
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    workspace->processors = processors > 0 ? static_cast<uint32_t>(processors) : 0;
    DumpWorkspace* expected = nullptr;
    if (!g_workspace.compare_exchange_strong(expected, workspace, std::memory_order_acq_rel)) {
        munmap(memory, sizeof(DumpWorkspace));  // another thread was first
    }
    return true;
}

DumpWorkspace* Workspace() noexcept {
    return g_workspace.load(std::memory_order_acquire);
}

}  // namespace ExceptionTranslator::minidump
