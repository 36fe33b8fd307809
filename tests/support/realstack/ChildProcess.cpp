#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Waits.h"

extern char** environ;

namespace realstack {

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

ChildProcess::ChildProcess(const Options& options) {
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
    if (options.logFile.empty()) {
        OpenPipe(output);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    } else {
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
    const int error = posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    CloseIfOpen(input[0]);
    CloseIfOpen(output[1]);
    m_stdin = input[1];
    if (error != 0) {
        CloseIfOpen(m_stdin);
        CloseIfOpen(output[0]);
        throw std::runtime_error("cannot start " + options.argv[0] + ": " + std::strerror(error));
    }
    if (output[0] >= 0) {
        m_reader = std::thread([this, fd = output[0]] { ReadLines(fd); });
    }
}

ChildProcess::~ChildProcess() {
    Stop();
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
    if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = status;
    }
    return m_status.has_value();
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
    WaitUntil([this] { return HasExited(); }, timeout);
    return m_status;
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (!HasExited()) {
        kill(m_pid, SIGTERM);
        if (!WaitForExit(grace)) {
            kill(m_pid, SIGKILL);
            int status = 0;
            while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_status = status;
        }
    }
    CloseIfOpen(m_stdin);
    return *m_status;
}

std::string DescribeWaitStatus(int status) {
    if (WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "wait status " + std::to_string(status);
}

}  // namespace realstack
