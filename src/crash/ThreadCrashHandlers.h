// The crash handler's per-thread part: every thread that enters the module from the host installs
// it before it does any work, so that a fault on that thread is caught and written to a mini-dump.
#pragma once

// Installs the structured-exception translator for the calling thread.
void InstallThreadCrashHandlers() noexcept;
