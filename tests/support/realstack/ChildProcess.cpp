#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace realstack {

namespace {

constexpr std::chrono::milliseconds kReapInterval{5};

// posix_spawn's file actions, released on every path.
class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &m_actions; }

  private:
    posix_spawn_file_actions_t m_actions;
};

// Children start with default signal handling and nothing blocked, whatever the test process
// set up for itself.
class DefaultSignals {
  public:
    DefaultSignals() {
        posix_spawnattr_init(&m_attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&m_attributes, &signals);
        sigaddset(&signals, SIGPIPE);
        sigaddset(&signals, SIGTERM);
        sigaddset(&signals, SIGINT);
        posix_spawnattr_setsigdefault(&m_attributes, &signals);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~DefaultSignals() { posix_spawnattr_destroy(&m_attributes); }
    DefaultSignals(const DefaultSignals&) = delete;
    DefaultSignals& operator=(const DefaultSignals&) = delete;
    const posix_spawnattr_t* Get() const { return &m_attributes; }

  private:
    posix_spawnattr_t m_attributes;
};

struct Pipe {
    int read = -1;
    int write = -1;
    void Open() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
        }
        read = ends[0];
        write = ends[1];
    }
};

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

ChildProcess::ChildProcess(const Options& options) {
    FileActions actions;
    Pipe input;
    Pipe output;
    if (options.pipeStdin) {
        // A child that has gone must show up as a failed Write, not end the test process.
        signal(SIGPIPE, SIG_IGN);
        input.Open();
        posix_spawn_file_actions_adddup2(actions.Get(), input.read, STDIN_FILENO);
    }
    if (options.pipeStdout) {
        output.Open();
        posix_spawn_file_actions_adddup2(actions.Get(), output.write, STDOUT_FILENO);
    } else if (!options.logFile.empty()) {
        posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, options.logFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(actions.Get(), STDOUT_FILENO, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (const std::string& arg : options.argv) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const DefaultSignals attributes;
    const int error =
        posix_spawn(&m_pid, argv[0], actions.Get(), attributes.Get(), argv.data(), environ);
    CloseIfOpen(input.read);
    CloseIfOpen(output.write);
    m_stdin = input.write;
    m_stdout = output.read;
    if (error != 0) {
        CloseStdin();
        CloseIfOpen(m_stdout);
        throw std::runtime_error("cannot start " + options.argv[0] + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess() {
    Stop();
    CloseIfOpen(m_stdout);
}

int ChildProcess::TakeStdout() {
    const int fd = m_stdout;
    m_stdout = -1;
    return fd;
}

bool ChildProcess::Write(std::string_view text) {
    if (m_stdin < 0) {
        return false;
    }
    const ssize_t written = write(m_stdin, text.data(), text.size());
    return written == static_cast<ssize_t>(text.size());
}

bool ChildProcess::HasExited() {
    if (!m_status) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
        }
    }
    return m_status.has_value();
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!HasExited() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kReapInterval);
    }
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
    CloseStdin();
    return *m_status;
}

void ChildProcess::CloseStdin() {
    CloseIfOpen(m_stdin);
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
