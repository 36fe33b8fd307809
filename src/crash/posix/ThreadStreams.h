// The threads in the dump: the faulting thread's context and stack memory, the thread list naming
// it first and then the other threads, the exception stream with the signal, and the memory list
// that lets a debugger read the stacks.
#pragma once

#include <cstddef>

#include "crash/CrashRecord.h"
#include "crash/posix/DumpFile.h"
#include "crash/posix/OtherThreads.h"
#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

// What the faulting thread's streams share.
struct FaultingThread {
    LocationDescriptor context;
    MemoryDescriptor stack;  // empty when the stack pointer is in no readable mapping
    MemoryDescriptor code;   // the bytes around the instruction pointer, or empty
};

// Appends the context and the memory; `mappings` bound the stack (none known: 64 KiB are taken).
FaultingThread AppendFaultingThread(DumpFile& file, const ContextAmd64& context,
                                    const Mapping* mappings, size_t count) noexcept;

// Appends up to 64 KiB of stack from `stackPointer` (and the red zone below it), cut to the
// readable mapping that holds it; with no mappings known the range is taken as it is.
MemoryDescriptor AppendStack(DumpFile& file, uint64_t stackPointer, const Mapping* mappings,
                             size_t count) noexcept;

// The other threads are those whose registers were read.
Directory WriteThreadList(DumpFile& file, const CrashRecord& record, const FaultingThread& thread,
                          const OtherThreads& others) noexcept;
Directory WriteException(DumpFile& file, const CrashRecord& record,
                         const FaultingThread& thread) noexcept;
Directory WriteMemoryList(DumpFile& file, const FaultingThread& thread,
                          const OtherThreads& others) noexcept;

}  // namespace ExceptionTranslator::minidump
