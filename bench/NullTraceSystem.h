// A trace system that answers every query with `traced` and drops the lines: the cost of the
// module's side alone.
#pragma once

#include "tracing/TraceSystemLib.h"

class NullTraceSystem {
  public:
    explicit NullTraceSystem(bool traced) {
        TraceSystemLib::Instance().InstallForTesting(
            traced ? TraceSystemEntryPoints{[](int) { return true; },
                                            [](int, const char*) { return true; },
                                            [](int, const char*, const char*) { return 1; }}
                   : TraceSystemEntryPoints{[](int) { return false; },
                                            [](int, const char*) { return false; },
                                            [](int, const char*, const char*) { return 1; }});
    }
    ~NullTraceSystem() { TraceSystemLib::Instance().ResetForTesting(); }
    NullTraceSystem(const NullTraceSystem&) = delete;
    NullTraceSystem& operator=(const NullTraceSystem&) = delete;
};
