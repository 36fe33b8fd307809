#include <syslog.h>

#include "directories/DiagnosticWriter.h"

namespace configdb {

// A library has no debugger channel on Linux: the system log at debug priority takes its place,
// where a developer finds it and the host's stderr stays untouched.
void DebuggerOutput(const char* text) noexcept {
    syslog(LOG_USER | LOG_DEBUG, "%s", text);
}

}  // namespace configdb
