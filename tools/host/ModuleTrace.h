// zeph_host --trace: asks the trace system stand-in beside the module (TpUmTraceSystem001_x64) for
// the module's trace on the host's stdout, each line marked as the module's.
#pragma once

#include <string>

// Marks the module's lines among the host's own.
inline constexpr const char* kModuleTracePrefix = "module  ";

// Sets ZEPH_TRACE_LEVELS to `levels`, ZEPH_TRACE_OUTPUT to stdout and ZEPH_TRACE_PREFIX to the
// mark. Must run before the module is loaded (the trace system reads them once) and before other
// threads exist.
void RequestModuleTrace(const std::string& levels);
