// Restarting the host process after a crash: its executable started anew, without parameters.
#pragma once

namespace ExceptionTranslator {

// Traces "MoraHost wird neu gestartet!" at level 8 and starts the executable of the running
// process (Linux: the target of /proc/self/exe) through the process-start library.
void RestartHostProcess();

}  // namespace ExceptionTranslator
