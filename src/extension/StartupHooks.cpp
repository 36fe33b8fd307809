#include "extension/StartupHooks.h"

#include "identification/HelperInitialize.h"

// The directory library and the crash handler are not part of the module yet: until they are,
// process attach has nothing to register.

void OnProcessAttach() noexcept {}

void InitializeCardIdentification() noexcept {
    ZEPH_Helper::VH_Initialize();
}
