// The helper library's link to the directory library's diagnostics.
#pragma once

namespace ZEPH_Helper {

// Registers HelperLibTraceSink (TraceSinks.h) with the directory library when no trace callback
// is registered there yet (CDB_HasTracer, CDB_SetTracer). The directory library is not part of
// the module yet: until it is, there is nothing to register with and this does nothing.
void RegisterHelperLibTracerIfNone() noexcept;

}  // namespace ZEPH_Helper
