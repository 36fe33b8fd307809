// The crash procedure: what happens on the crashing thread when a processor fault hits one of the
// module's operations (or the runtime reports an invalid argument): trace the event, prune the old
// dumps, write a new one, and inside the host process, as the machine's options ask, show the
// crash message and restart the host, ending this process.
#pragma once

#include <cstdint>

#include "crash/CrashRecord.h"

namespace ExceptionTranslator {

// The procedure with the given trace text (a wide format with the thread id as its one "%d").
// Returns unless the host is restarted; then the process ends with exit status -1.
void RunCrashProcedure(const char16_t* traceFormat, const CrashRecord* record);

// The procedure for a processor fault: on Windows the exception code, on Linux the signal.
void TranslateSEHExceptionToStdException(uint32_t code, const CrashRecord* record);

}  // namespace ExceptionTranslator
