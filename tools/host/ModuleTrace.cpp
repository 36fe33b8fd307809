#include "ModuleTrace.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace {

// The process's own environment, which the trace system reads on both platforms.
void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value);
#else
    setenv(name, value, 1);  // NOLINT(concurrency-mt-unsafe): main sets it before any thread.
#endif
}

}  // namespace

void RequestModuleTrace(const std::string& levels) {
    SetVariable("ZEPH_TRACE_LEVELS", levels.c_str());
    SetVariable("ZEPH_TRACE_OUTPUT", "stdout");
    SetVariable("ZEPH_TRACE_PREFIX", kModuleTracePrefix);
}
