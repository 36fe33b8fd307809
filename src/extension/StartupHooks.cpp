#include "extension/StartupHooks.h"

#include "crash/CrashComponent.h"
#include "directories/ConfigDB.h"
#include "directories/TraceSystemSearch.h"
#include "identification/HelperInitialize.h"
#include "tracing/TraceSinks.h"
#include "tracing/TraceSystemLib.h"

void OnProcessAttach() noexcept {
    TraceSystemLib::Instance().SetFinder(&configdb::FindTraceSystemLibraryForProcess);
    CDB_SetTracer(&ExtensionTraceSink);
    ExceptionTranslator::SetCrashComponent(u"ZEPH.Ext.PcSc");
}

void InitializeCardIdentification() noexcept {
    ZEPH_Helper::VH_Initialize();
}
