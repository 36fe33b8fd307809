// Creating a process from a command line and waiting until it is ready for input: CreateProcessW
// and WaitForInputIdle on Windows; posix_spawn on Linux, where the wait takes the path of a
// console program (it fails with kErrorNotGuiProcess).
#pragma once

#include <cstdint>
#include <string>

namespace ThreadControl {

inline constexpr uint32_t kInputIdleTimeoutMs = 20000;
// ERROR_NOT_GUI_PROCESS: the process has no message queue (a console or service program).
inline constexpr uint32_t kErrorNotGuiProcess = 1471;
// ERROR_ELEVATION_REQUIRED.
inline constexpr uint32_t kErrorElevationRequired = 740;

enum class InputIdleWait { Ready, TimedOut, Failed, Other };

struct LaunchOutcome {
    bool created = false;
    uint32_t createError = 0;  // the platform's error code (errno on Linux) when not created
    InputIdleWait wait = InputIdleWait::Ready;
    uint32_t waitValue = 0;  // Failed: the last error; Other: the wait's result
};

// Creates the process from the command line alone, with the caller's environment and current
// directory, waits at most kInputIdleTimeoutMs for its input readiness and lets it go (its
// handles are closed). `startupInfo` is a STARTUPINFOW* or null on Windows; Linux ignores it.
LaunchOutcome LaunchProcess(const std::u16string& commandLine, void* startupInfo);

}  // namespace ThreadControl
