// The faulting thread in the dump: its context and stack memory, the thread list naming it, the
// exception stream with the signal, and the memory list that lets a debugger read the stack.
#pragma once

#include <cstddef>

#include "crash/CrashRecord.h"
#include "crash/posix/DumpFile.h"
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

Directory WriteThreadList(DumpFile& file, const CrashRecord& record,
                          const FaultingThread& thread) noexcept;
Directory WriteException(DumpFile& file, const CrashRecord& record,
                         const FaultingThread& thread) noexcept;
Directory WriteMemoryList(DumpFile& file, const FaultingThread& thread) noexcept;

}  // namespace ExceptionTranslator::minidump
