// The crash handler's per-thread part: every thread that enters the module from the host installs
// it before it does any work, so that a fault on that thread inside an operation is written to a
// mini-dump and ends in the operation's exception barrier.
#pragma once

// Marks the calling thread for the crash handler and installs the process-wide handlers once
// (crash/FaultHandler.h, crash/InvalidParameterHandler.h).
void InstallThreadCrashHandlers() noexcept;
