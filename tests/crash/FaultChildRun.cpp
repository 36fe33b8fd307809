#include "FaultChildRun.h"

#ifdef _WIN32
#include <windows.h>

int RunFaultChild(const std::string& program, const std::string& argument) {
    std::string commandLine = "\"" + program + "\" " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void SetChildVariable(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.c_str());
}
#else
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

extern char** environ;

// Under AddressSanitizer the child leaves its faults to the module's handler and to the default
// action, as in a release build, and keeps the C library's memcpy, whose unwind information lets
// the module's exception pass a fault inside it. Other builds ignore the variable.
constexpr char kChildSanitizerOptions[] =
    "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:replace_intrin=0";

int RunFaultChild(const std::string& program, const std::string& argument) {
    setenv("ASAN_OPTIONS", kChildSanitizerOptions, 1);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                    nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return -2;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : WEXITSTATUS(status);
}

void SetChildVariable(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}
#endif
