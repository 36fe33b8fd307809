#include "crash/posix/ThreadFaultState.h"

#include <signal.h>

#include <cstddef>
#include <memory>
#include <new>

namespace ExceptionTranslator {

namespace {

// The procedure traces, formats names and writes the dump on this stack.
constexpr size_t kAltStackBytes = size_t{256} * 1024;

// Initial-exec: a read from the signal handler is a plain load, on any thread, without
// allocation. Set at marking, cleared when the thread ends.
__attribute__((tls_model("initial-exec"))) thread_local ThreadFaultState* t_state = nullptr;

// The thread's state and its alternate stack; the stack is switched off before it is freed.
class MarkedThread {
  public:
    MarkedThread() {
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) {
            return;  // the thread has one of its own already
        }
        m_stack.reset(new (std::nothrow) char[kAltStackBytes]);
        if (m_stack == nullptr) {
            return;
        }
        stack_t ours{};
        ours.ss_sp = m_stack.get();
        ours.ss_size = kAltStackBytes;
        if (sigaltstack(&ours, nullptr) != 0) {
            m_stack.reset();
        }
    }
    ~MarkedThread() {
        t_state = nullptr;
        if (m_stack != nullptr) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            if (sigaltstack(&off, nullptr) != 0) {
                // Still running on it: the process ends from the crash procedure (exit(-1)).
                static_cast<void>(m_stack.release());
            }
        }
    }
    MarkedThread(const MarkedThread&) = delete;
    MarkedThread& operator=(const MarkedThread&) = delete;

    ThreadFaultState state;

  private:
    std::unique_ptr<char[]> m_stack;
};

}  // namespace

ThreadFaultState* MarkedThreadState() noexcept {
    return t_state;
}

void MarkThreadState() noexcept {
    if (t_state != nullptr) {
        return;
    }
    static thread_local MarkedThread marked;
    t_state = &marked.state;
}

}  // namespace ExceptionTranslator
