#include "extension/StartupHooks.h"

#include "directories/ConfigDB.h"
#include "identification/HelperInitialize.h"
#include "tracing/TraceSinks.h"

// The crash handler's component name joins here once the crash handler is part of the module.
void OnProcessAttach() noexcept {
    CDB_SetTracer(&ExtensionTraceSink);
}

void InitializeCardIdentification() noexcept {
    ZEPH_Helper::VH_Initialize();
}
