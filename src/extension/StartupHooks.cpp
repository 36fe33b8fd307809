#include "extension/StartupHooks.h"

#include "directories/ConfigDB.h"
#include "directories/TraceSystemSearch.h"
#include "identification/HelperInitialize.h"
#include "tracing/TraceSinks.h"
#include "tracing/TraceSystemLib.h"

// The crash handler's component name joins here once the crash handler is part of the module.
void OnProcessAttach() noexcept {
    TraceSystemLib::Instance().SetFinder(&configdb::FindTraceSystemLibraryForProcess);
    CDB_SetTracer(&ExtensionTraceSink);
}

void InitializeCardIdentification() noexcept {
    ZEPH_Helper::VH_Initialize();
}
