#include "extension/StartupHooks.h"

// The directory library, the crash handler and the card identification helpers are not part of
// the module yet: until they are, start-up has nothing to register and nothing to install.

void OnProcessAttach() noexcept {}

void InitializeCardIdentification() noexcept {}

void InstallThreadCrashHandlers() noexcept {}
