#include "crash/posix/ThreadFaultState.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

#include "platform/OperationDepth.h"

namespace ExceptionTranslator {

namespace {

// The procedure parses the registry, resolves directories, traces and writes the dump on this
// stack. A stack the thread may have of its own is often far smaller: sanitizers and language
// runtimes give their threads a few KiB up to 64 KiB.
constexpr size_t kAltStackBytes = size_t{256} * 1024;

// The thread's state and the module's alternate stack, which is in place only while the thread
// is inside an operation: the thread's own alternate stack, if it has one, is set aside on entry
// and put back on leaving, so that the host's handlers find what they installed.
class MarkedThread {
  public:
    MarkedThread() noexcept {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* mapping = mmap(nullptr, kAltStackBytes + page, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED) {
            return;
        }
        // The lowest page stays inaccessible: an overflow of the procedure ends the process
        // instead of writing over whatever lies below.
        mprotect(mapping, page, PROT_NONE);
        m_mapping = mapping;
        m_mappingBytes = kAltStackBytes + page;
        m_stack.ss_sp = static_cast<char*>(mapping) + page;
        m_stack.ss_size = kAltStackBytes;
        m_stack.ss_flags = 0;
    }
    ~MarkedThread() {
        Leave();
        if (m_mapping != nullptr && !m_inPlace) {
            munmap(m_mapping, m_mappingBytes);
        }
    }
    MarkedThread(const MarkedThread&) = delete;
    MarkedThread& operator=(const MarkedThread&) = delete;

    // Puts the module's stack in place and keeps what the thread had. Refused by the system
    // while the thread runs on its own alternate stack: that one then stays.
    void Enter() noexcept {
        if (m_mapping != nullptr && !m_inPlace && sigaltstack(&m_stack, &m_previous) == 0) {
            m_inPlace = true;
        }
    }

    // Gives the thread back the alternate stack it had, or none.
    void Leave() noexcept {
        if (!m_inPlace) {
            return;
        }
        stack_t previous = m_previous;
        previous.ss_flags &= ~SS_ONSTACK;
        if (sigaltstack(&previous, nullptr) == 0) {
            m_inPlace = false;
        }
    }

    ThreadFaultState state;

  private:
    void* m_mapping = nullptr;
    size_t m_mappingBytes = 0;
    stack_t m_stack{};
    stack_t m_previous{};
    bool m_inPlace = false;
};

// Initial-exec: a read from the signal handler is a plain load, on any thread, without
// allocation. Set at marking, cleared when the thread ends.
__attribute__((tls_model("initial-exec"))) thread_local MarkedThread* t_marked = nullptr;

// Clears the thread's pointer before its state goes.
struct MarkedThreadOwner {
    MarkedThread thread;
    ~MarkedThreadOwner() { t_marked = nullptr; }
};

void OnOperationEdge(bool entering) noexcept {
    MarkedThread* marked = t_marked;
    if (marked == nullptr) {
        return;
    }
    if (entering) {
        marked->Enter();
    } else {
        marked->Leave();
    }
}

}  // namespace

ThreadFaultState* MarkedThreadState() noexcept {
    MarkedThread* marked = t_marked;
    return marked != nullptr ? &marked->state : nullptr;
}

void MarkThreadState() noexcept {
    static const bool hooked = [] {
        zeph::platform::SetOperationEdgeHook(&OnOperationEdge);
        return true;
    }();
    static_cast<void>(hooked);
    if (t_marked != nullptr) {
        return;
    }
    static thread_local MarkedThreadOwner owner;
    t_marked = &owner.thread;
    if (zeph::platform::OperationDepth() > 0) {
        owner.thread.Enter();  // marked inside an operation: its leaving hands the stack back
    }
}

}  // namespace ExceptionTranslator
