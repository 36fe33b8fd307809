#include "crash/HostRestart.h"

#include <string>

#include "crash/CrashComponent.h"
#include "crash/HostExecutable.h"
#include "process/ProcessStart.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

void RestartHostProcess() {
    TRC_WriteW(TRACE_DETAIL, CrashComponent(), u"MoraHost wird neu gestartet!");
    const std::string executable = HostExecutablePath();
    if (!executable.empty()) {
        ThreadControl::TC_StartProcessAsyncA(executable.c_str());
    }
}

}  // namespace ExceptionTranslator
