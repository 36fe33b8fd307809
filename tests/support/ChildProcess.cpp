#include "ChildProcess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
extern char** environ;
#endif

#ifdef _WIN32

std::filesystem::path ChildProcess::Beside(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, length)).parent_path() / (name + ".exe");
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments) {
    const std::filesystem::path path =
        program.has_parent_path() ? program : Beside(program.string());
    std::string commandLine = "\"" + path.string() + "\"";
    for (const std::string& argument : arguments) {
        commandLine += " \"" + argument + "\"";
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        m_process = process.hProcess;
    }
}

int ChildProcess::Wait() {
    if (m_process == nullptr) {
        return -1;
    }
    WaitForSingleObject(m_process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    CloseHandle(m_process);
    m_process = nullptr;
    return static_cast<int>(code);
}

#else

std::filesystem::path ChildProcess::Beside(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments) {
    // Other builds ignore the variable. replace_intrin=0 keeps the C library's memcpy, whose
    // unwind information lets the module's exception pass a fault inside it.
    setenv("ASAN_OPTIONS",
           "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:replace_intrin=0", 1);
    const std::string path =
        (program.has_parent_path() ? program : Beside(program.string())).string();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
        m_pid = pid;
    }
}

int ChildProcess::Wait() {
    if (m_pid < 0) {
        return -1;
    }
    int status = 0;
    waitpid(static_cast<pid_t>(m_pid), &status, 0);
    m_pid = -1;
    return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : WEXITSTATUS(status);
}

#endif

ChildProcess::~ChildProcess() {
    Wait();
}
