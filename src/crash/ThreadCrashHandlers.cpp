#include "crash/ThreadCrashHandlers.h"

// The crash handler is not part of the module yet: until it is, a thread has nothing to install.
void InstallThreadCrashHandlers() noexcept {}
