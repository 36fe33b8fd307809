// The process's other threads in the dump. The faulting thread cannot stop its siblings itself, so
// a helper process, started with clone on a stack of its own, shares the process's memory and
// files; allowed to trace the process, it stops every other thread, appends its registers and up
// to 64 KiB of its stack to the dump, and lets it go again. The faulting thread waits for it; the
// fault's watchdog bounds the wait. Nothing is allocated: everything lives in reserved memory.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "crash/posix/DumpFile.h"
#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

struct OtherThread {
    uint32_t id = 0;
    bool stopped = false;        // the helper holds it
    LocationDescriptor context;  // empty when its registers could not be read
    MemoryDescriptor stack;
};

struct OtherThreads {
    static constexpr size_t kMaxThreads = 256;
    static constexpr size_t kHelperStackSize = size_t{64} * 1024;

    OtherThread threads[kMaxThreads];
    uint32_t count = 0;
    int refusal = 0;  // the error of a refused attempt to trace a thread; 0 when none was refused
    std::atomic<bool> mayTrace{false};
    alignas(8) char listing[4096];  // directory entries of /proc/self/task
    alignas(16) unsigned char helperStack[kHelperStackSize];
};

// Lists the process's threads but `faulting` and appends each one that could be stopped; where
// tracing is refused, `threads.refusal` says why and the threads stay out of the dump.
void AppendOtherThreads(DumpFile& file, pid_t faulting, const Mapping* mappings, size_t count,
                        OtherThreads& threads) noexcept;

}  // namespace ExceptionTranslator::minidump
