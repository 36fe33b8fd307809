#include "ChildProcess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "WaitUntil.h"

extern char** environ;
#endif

#ifdef _WIN32

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

namespace {

// Both ends of a pipe that children do not inherit by themselves.
void OpenPipe(int (&ends)[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

std::filesystem::path ChildProcess::Beside(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments) {
    // Other builds ignore the variable. replace_intrin=0 keeps the C library's memcpy, whose
    // unwind information lets the module's exception pass a fault inside it.
    setenv("ASAN_OPTIONS",
           "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:replace_intrin=0", 1);
    Options options;
    options.argv = {(program.has_parent_path() ? program : Beside(program.string())).string()};
    options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
    Spawn(options, false);
}

ChildProcess::ChildProcess(const Options& options) : m_stopWhenGone(true) {
    if (const int error = Spawn(options, options.logFile.empty()); error != 0) {
        throw std::runtime_error("cannot start " + options.argv[0] + ": " + std::strerror(error));
    }
}

int ChildProcess::Spawn(const Options& options, bool captureOutput) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if (options.pipeStdin) {
        // A child that has gone must show up as a failed Write, not end the test process.
        signal(SIGPIPE, SIG_IGN);
        OpenPipe(input);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    }
    if (captureOutput) {
        OpenPipe(output);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    } else if (!options.logFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.logFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    // Children start with default signal handling and nothing blocked, whatever the test
    // process set up for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int handled : {SIGPIPE, SIGTERM, SIGINT}) {
        sigaddset(&signals, handled);
    }
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& arg : options.argv) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    CloseIfOpen(input[0]);
    CloseIfOpen(output[1]);
    m_stdin = input[1];
    if (error != 0) {
        CloseIfOpen(m_stdin);
        CloseIfOpen(output[0]);
        return error;
    }
    m_pid = pid;
    if (output[0] >= 0) {
        m_reader = std::thread([this, fd = output[0]] { ReadLines(fd); });
    }
    return 0;
}

ChildProcess::~ChildProcess() {
    if (m_stopWhenGone) {
        Stop();
    } else {
        Wait();
    }
    if (m_reader.joinable()) {
        m_reader.join();  // the writer has gone: reading ends
    }
}

bool ChildProcess::Write(std::string_view text) {
    return m_stdin >= 0 &&
           write(m_stdin, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool ChildProcess::WaitForLine(std::string_view text, std::chrono::milliseconds timeout,
                               bool anywhere) {
    std::unique_lock lock(m_mutex);
    bool found = false;
    m_changed.wait_for(lock, timeout, [&] {
        for (; m_nextToSearch < m_lines.size() && !found; ++m_nextToSearch) {
            const std::string& line = m_lines[m_nextToSearch];
            found = anywhere ? line.find(text) != std::string::npos : line.starts_with(text);
        }
        return found || m_ended;
    });
    return found;
}

std::vector<std::string> ChildProcess::Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::string ChildProcess::Output() const {
    std::string text;
    for (const std::string& line : Lines()) {
        text += line + "\n";
    }
    return text;
}

void ChildProcess::ReadLines(int fd) {
    std::string pending;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(got));
        std::lock_guard lock(m_mutex);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            m_lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
        m_changed.notify_all();
    }
    close(fd);
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

bool ChildProcess::HasExited() {
    int status = 0;
    if (!m_status && waitpid(Pid(), &status, WNOHANG) == Pid()) {
        m_status = status;
    }
    return m_status.has_value();
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
    WaitUntil([this] { return HasExited(); }, timeout);
    return m_status;
}

int ChildProcess::Wait() {
    if (m_pid < 0) {
        return -1;
    }
    if (!m_status) {
        int status = 0;
        while (waitpid(Pid(), &status, 0) < 0 && errno == EINTR) {
        }
        m_status = status;
    }
    return WIFSIGNALED(*m_status) ? 1000 + WTERMSIG(*m_status) : WEXITSTATUS(*m_status);
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (!HasExited()) {
        kill(Pid(), SIGTERM);
        if (!WaitForExit(grace)) {
            kill(Pid(), SIGKILL);
            Wait();
        }
    }
    CloseIfOpen(m_stdin);
    return *m_status;
}

#endif
