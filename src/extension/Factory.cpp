#include <new>

#include "extension/ExtensionTrace.h"
#include "extension/StartupHooks.h"
#include "extension/ZephExtensionPcSc.h"

// The module's one export: a new, independent extension object for each virtual reader the host
// serves. The host owns it and destroys it through slot 0. Without memory for the object the host
// receives a null pointer instead of an exception.
extern "C" CZephExtensionAbstract* ZEPH_Ext_GetNewInstance() {
    MethodTrace trace(TRACE_DETAIL, kExtensionComponent, u"ZEPH_Ext_GetNewInstance", kFactorySource,
                      __LINE__, u"");
    CZephExtensionAbstract* instance = nullptr;
    RunGuarded(u"ZEPH_Ext_GetNewInstance", [&] {
        InitializeCardIdentification();
        instance = new CZephExtensionPcSc();
    });
    return instance;
}
