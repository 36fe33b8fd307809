#include "process/ProcessLauncher.h"

#include <windows.h>

namespace ThreadControl {

namespace {

LaunchOutcome WaitForInputReadiness(HANDLE process) {
    LaunchOutcome outcome;
    outcome.created = true;
    const DWORD result = WaitForInputIdle(process, kInputIdleTimeoutMs);
    if (result == 0) {
        outcome.wait = InputIdleWait::Ready;
    } else if (result == WAIT_TIMEOUT) {
        outcome.wait = InputIdleWait::TimedOut;
    } else if (result == WAIT_FAILED) {
        outcome.wait = InputIdleWait::Failed;
        outcome.waitValue = GetLastError();
    } else {
        outcome.wait = InputIdleWait::Other;
        outcome.waitValue = result;
    }
    return outcome;
}

}  // namespace

LaunchOutcome LaunchProcess(const std::u16string& commandLine, void* startupInfo) {
    std::wstring writable(commandLine.begin(), commandLine.end());  // CreateProcessW may write
    STARTUPINFOW defaultInfo{};
    defaultInfo.cb = sizeof(defaultInfo);
    auto* info = startupInfo != nullptr ? static_cast<STARTUPINFOW*>(startupInfo) : &defaultInfo;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        info, &created)) {
        LaunchOutcome outcome;
        outcome.createError = GetLastError();
        return outcome;
    }
    const LaunchOutcome outcome = WaitForInputReadiness(created.hProcess);
    CloseHandle(created.hProcess);
    CloseHandle(created.hThread);
    return outcome;
}

}  // namespace ThreadControl
