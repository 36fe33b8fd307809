#include "ChildProcess.h"

#ifdef _WIN32
#include <windows.h>

ChildProcess::~ChildProcess() {
    Wait();
}

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
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "FileText.h"
#include "WaitUntil.h"

extern char** environ;

std::filesystem::path ChildProcess::Beside(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments) {
    // Other builds ignore the variable. replace_intrin=0 keeps the C library's memcpy, whose
    // unwind information lets the module's exception pass a fault inside it.
    setenv("ASAN_OPTIONS",
           "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:replace_intrin=0", 1);
    std::vector<std::string> argv = {
        (program.has_parent_path() ? program : Beside(program.string())).string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Spawn(argv, false);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) : m_stopWhenGone(true) {
    if (const int error = Spawn(argv, true); error != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
}

int ChildProcess::Spawn(const std::vector<std::string>& argv, bool capture) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int input[2] = {-1, -1};
    if (capture) {
        // A child that has gone must show up as a failed Write, not end the test process.
        signal(SIGPIPE, SIG_IGN);
        m_output = memfd_create("child-output", MFD_CLOEXEC);
        if (m_output < 0 || pipe2(input, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::string("child's files: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, m_output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, m_output, STDERR_FILENO);
    }
    // Children start with default signal handling and nothing blocked, whatever the test
    // process set up for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);  // -1 when nothing is captured: refused, harmless
    m_stdin = input[1];
    m_pid = error == 0 ? pid : -1;
    return error;
}

ChildProcess::~ChildProcess() {
    if (m_stopWhenGone) {
        Stop();
    } else {
        Wait();
    }
    close(m_stdin);  // as above
    close(m_output);
}

bool ChildProcess::Write(std::string_view text) {
    return write(m_stdin, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string ChildProcess::Output() const {
    return ReadFileText("/proc/self/fd/" + std::to_string(m_output));
}

std::vector<std::string> ChildProcess::Lines() const {
    std::istringstream text(Output());
    std::vector<std::string> lines;
    // A last line without its line end is still being written.
    for (std::string line; std::getline(text, line) && !text.eof();) {
        lines.push_back(line);
    }
    return lines;
}

bool ChildProcess::WaitForLine(std::string_view text, std::chrono::milliseconds timeout,
                               bool anywhere) {
    bool found = false;
    WaitUntil(
        [&] {
            const bool ended = HasExited();
            const std::vector<std::string> lines = Lines();
            for (; m_nextToSearch < lines.size() && !found; ++m_nextToSearch) {
                const std::string& line = lines[m_nextToSearch];
                found = anywhere ? line.find(text) != std::string::npos : line.starts_with(text);
            }
            return found || ended;
        },
        timeout);
    return found;
}

bool ChildProcess::HasExited() {
    int status = 0;
    if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = status;
    }
    return m_status.has_value();
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_pid < 0 || !WaitUntil([this] { return HasExited(); }, timeout)) {
        return -1;
    }
    return WIFSIGNALED(*m_status) ? 1000 + WTERMSIG(*m_status) : WEXITSTATUS(*m_status);
}

int ChildProcess::Stop() {
    if (!HasExited()) {
        kill(m_pid, SIGTERM);
        if (Wait(std::chrono::seconds(3)) < 0) {
            kill(m_pid, SIGKILL);
        }
    }
    return Wait();
}

#endif
