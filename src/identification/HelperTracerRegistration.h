// The helper library's link to the directory library's diagnostics.
#pragma once

namespace ZEPH_Helper {

// Registers HelperLibTraceSink (TraceSinks.h) with the directory library when no trace callback
// is registered there yet (CDB_HasTracer, CDB_SetTracer): the module's own sink, registered at
// process attach, stays.
void RegisterHelperLibTracerIfNone() noexcept;

}  // namespace ZEPH_Helper
