#include "extension/StartupHooks.h"

#include "helper/HelperInitialize.h"

// The directory library and the crash handler are not part of the module yet: until they are,
// process attach has nothing to register and the thread nothing to install.

void OnProcessAttach() noexcept {}

void InitializeCardIdentification() noexcept {
    ZEPH_Helper::VH_Initialize();
}

void InstallThreadCrashHandlers() noexcept {}
