#include "identification/HelperTracerRegistration.h"

#include "directories/ConfigDB.h"
#include "tracing/TraceSinks.h"

namespace ZEPH_Helper {

void RegisterHelperLibTracerIfNone() noexcept {
    if (!CDB_HasTracer()) {
        CDB_SetTracer(&HelperLibTraceSink);
    }
}

}  // namespace ZEPH_Helper
