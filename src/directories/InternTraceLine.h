// The lines of the directory library's trace files: composition and the serialised append.
#pragma once

#include <cstdint>
#include <string>

#include "directories/NamedMutex.h"

namespace configdb {

// How long a writer waits for the trace mutex before it writes anyway.
inline constexpr uint32_t kInternTraceWaitMs = 1000;

// "DD.MM.YYYY hh:mm:ss.mmm [pid] [tid] message\n" with the local time, the process id and the
// thread id of the caller; with `message` null, the line saying that there was nothing to write,
// showing `formatLength`.
std::string ComposeInternTraceLine(const std::string* message, int formatLength);

// Waits at most kInternTraceWaitMs for `mutex` (null: a failed wait) and appends `line` to the
// file. A wait that did not succeed writes the timeout or wait-error prefix directly before the
// line and leaves the mutex alone. A file that cannot be opened loses the line silently; a name
// that is no plain file (a link, a directory ...) loses it with one line to the debugger output.
void AppendInternTraceLine(NamedMutex* mutex, const std::string& file, const std::string& line);

}  // namespace configdb
