// The module's own writer of minidump files on Linux (the format debuggers read for Windows
// dumps): header, system information, the thread list with every thread's context and stack
// memory, the faulting thread first, the exception stream with the signal, and the module list. It
// runs inside a signal handler: it allocates nothing and uses plain system calls only, on memory
// reserved by ReserveLinuxMiniDumpMemory, so it works even when the fault hit the allocator.
#pragma once

#include "crash/CrashRecord.h"
#include "crash/DumpFileOutcome.h"

namespace ExceptionTranslator {

// Reserves the writer's memory; called once before any fault (idempotent, thread-safe). False when
// it could not be had (the writer then writes nothing).
bool ReserveLinuxMiniDumpMemory() noexcept;

// Writes the dump into the file at `path`, created or replacing an earlier dump of the process's
// user, mode 0600 (OpenDumpFile). Async-signal-safe; one fault at a time (a second concurrent
// caller writes nothing and fails). Where the process may not be traced, the dump holds the
// faulting thread only and `tracingRefused` receives the error that refused it (else 0).
DumpFileOutcome WriteLinuxMiniDump(const char* path, const CrashRecord& record,
                                   int* tracingRefused = nullptr) noexcept;

}  // namespace ExceptionTranslator
