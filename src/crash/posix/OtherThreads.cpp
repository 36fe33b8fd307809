#include "crash/posix/OtherThreads.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "crash/posix/SignalContext.h"
#include "crash/posix/ThreadStreams.h"

namespace ExceptionTranslator::minidump {
namespace {

// What the helper works on; it lives on the faulting thread's stack, which waits meanwhile.
struct HelperJob {
    DumpFile& file;
    const Mapping* mappings;
    size_t mappingCount;
    OtherThreads& threads;
};

// Straight system calls: the helper shares the faulting thread's thread-local data, which the
// wrappers of a sanitizer would take for their own.
long Ptrace(long request, pid_t thread, void* data = nullptr) noexcept {
    return syscall(SYS_ptrace, request, thread, nullptr, data);
}

pid_t WaitFor(pid_t child, int& status) noexcept {
    long waited = 0;
    do {
        waited = syscall(SYS_wait4, child, &status, __WALL, nullptr);
    } while (waited < 0 && errno == EINTR);
    return static_cast<pid_t>(waited);
}

uint32_t ParseThreadId(const char* name) noexcept {
    uint32_t id = 0;
    for (; *name >= '0' && *name <= '9'; ++name) {
        id = id * 10 + static_cast<uint32_t>(*name - '0');
    }
    return *name == '\0' ? id : 0;
}

void ListThreads(pid_t faulting, OtherThreads& threads) noexcept {
    threads.count = 0;
    const int directory = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return;
    }
    long length = 0;
    while ((length = syscall(SYS_getdents64, directory, threads.listing, sizeof(threads.listing))) >
           0) {
        for (long at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const dirent64*>(threads.listing + at);
            const uint32_t id = ParseThreadId(entry->d_name);
            if (id != 0 && id != static_cast<uint32_t>(faulting) &&
                threads.count < OtherThreads::kMaxThreads) {
                threads.threads[threads.count] = OtherThread{};
                threads.threads[threads.count++].id = id;
            }
            at += entry->d_reclen;
        }
    }
    close(directory);
}

// Stops the thread where it is, without a signal of its own that it would see later.
void Stop(OtherThread& thread, int& refusal) noexcept {
    const auto id = static_cast<pid_t>(thread.id);
    if (Ptrace(PTRACE_SEIZE, id) != 0) {
        if (errno != ESRCH && refusal == 0) {
            refusal = errno;  // not a thread that ended meanwhile: tracing is not allowed
        }
        return;
    }
    int status = 0;
    thread.stopped =
        Ptrace(PTRACE_INTERRUPT, id) == 0 && WaitFor(id, status) == id && WIFSTOPPED(status);
    if (!thread.stopped) {
        Ptrace(PTRACE_DETACH, id);
    }
}

void Append(const HelperJob& job, OtherThread& thread) noexcept {
    user_regs_struct registers{};
    user_fpregs_struct fpu{};
    const auto id = static_cast<pid_t>(thread.id);
    if (Ptrace(PTRACE_GETREGS, id, &registers) != 0 || Ptrace(PTRACE_GETFPREGS, id, &fpu) != 0) {
        return;
    }
    ContextAmd64 context;
    FillContext(registers, fpu, context);
    thread.context = job.file.AppendRecord(context);
    thread.stack = AppendStack(job.file, context.rsp, job.mappings, job.mappingCount);
}

// The helper: all threads are stopped before the first is read, so that the dump shows them at
// one moment; it ends with the faulting thread, should that die first.
int RunHelper(void* argument) {
    const HelperJob& job = *static_cast<const HelperJob*>(argument);
    syscall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL);
    while (!job.threads.mayTrace.load(std::memory_order_acquire)) {
        sched_yield();
    }
    OtherThreads& threads = job.threads;
    for (uint32_t i = 0; i < threads.count; ++i) {
        Stop(threads.threads[i], threads.refusal);
    }
    for (uint32_t i = 0; i < threads.count; ++i) {
        if (threads.threads[i].stopped) {
            Append(job, threads.threads[i]);
            Ptrace(PTRACE_DETACH, static_cast<pid_t>(threads.threads[i].id));
        }
    }
    return 0;
}

}  // namespace

void AppendOtherThreads(DumpFile& file, pid_t faulting, const Mapping* mappings, size_t count,
                        OtherThreads& threads) noexcept {
    threads.refusal = 0;
    ListThreads(faulting, threads);
    if (threads.count == 0) {
        return;
    }
    HelperJob job{file, mappings, count, threads};
    threads.mayTrace.store(false);
    const pid_t helper = clone(&RunHelper, threads.helperStack + sizeof(threads.helperStack),
                               CLONE_VM | CLONE_FILES | CLONE_FS | CLONE_UNTRACED, &job);
    if (helper < 0) {
        threads.refusal = errno;
        threads.count = 0;
        return;
    }
    // Where only a process's ancestors may trace it, the helper, a child, needs this leave.
    prctl(PR_SET_PTRACER, helper);
    threads.mayTrace.store(true, std::memory_order_release);
    int status = 0;
    WaitFor(helper, status);
    prctl(PR_SET_PTRACER, 0);
}

}  // namespace ExceptionTranslator::minidump
