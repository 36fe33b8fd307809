#include "identification/HelperInitialize.h"

#include "crash/ThreadCrashHandlers.h"
#include "identification/HelperLibTrace.h"
#include "identification/HelperTracerRegistration.h"

namespace ZEPH_Helper {

namespace {

constexpr char16_t kName[] = u"ZEPH_Helper::VH_Initialize";

}  // namespace

bool VH_Initialize() {
    InstallThreadCrashHandlers();
    SetHelperLibComponent(kExtensionTraceComponent);
    const std::u16string component = HelperComponent();
    ZEPH_HELPER_METHOD_TRACE(trace, component, kName);
    return RunHelperGuarded(component, kName, [&] {
        RegisterHelperLibTracerIfNone();
        return true;
    });
}

}  // namespace ZEPH_Helper
