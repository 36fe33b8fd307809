// A child process started with posix_spawn and always stopped by its own pid: SIGTERM, then
// SIGKILL when it has not ended by the deadline, and reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace realstack {

class ChildProcess {
  public:
    struct Options {
        std::vector<std::string> argv;  // argv[0] is the program's path
        bool pipeStdin = false;         // Write() feeds the child's standard input
        bool pipeStdout = false;        // TakeStdout() hands out the read end
        std::string logFile;            // otherwise standard output and error go here
    };

    // Throws std::runtime_error when the child cannot be started.
    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // The read end of the child's standard output; the caller closes it.
    int TakeStdout();
    bool Write(std::string_view text);
    // Reaps the child when it has ended, without waiting.
    bool HasExited();
    // Ends the child (see above) and returns its wait status.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(3));
    // Waits for the child to end by itself; its wait status, or none at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

  private:
    void CloseStdin();

    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    std::optional<int> m_status;
};

// "exited with 0", "killed by signal 9"...
std::string DescribeWaitStatus(int status);

}  // namespace realstack
