// The directory library's diagnostic writer and its trace-file writer.
#pragma once

#include <cstdarg>
#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

// Formats the message and hands it to the registered callback (as UTF-16) and, when the internal
// trace is on, to the internal trace file as "ERROR - ..." or "INFO - ...". Does nothing, not even
// the formatting, when neither listens. Problems of the writer itself go to the debugger output.
void TracerWrite(ConfigDbContext& context, bool isError, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// Formats the message and appends it as one time-stamped line to the file under the library's
// trace mutex. A null or empty file name writes nothing.
void InternTrace(ConfigDbContext& context, const char* fileName, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// printf into a string; false when the format fails or the text cannot be had.
bool FormatNarrow(std::string& out, const char* format, va_list args);

// Where the writer's own failures go: OutputDebugStringA on Windows; on Linux the system log at
// debug priority, so that nothing reaches the host's stderr unasked.
void DebuggerOutput(const char* text) noexcept;

}  // namespace configdb
