// A child process started with posix_spawn and always stopped by its own pid: SIGTERM, then
// SIGKILL when it has not ended by the deadline, and reaped. Unless its output goes to a log
// file, a thread of its own collects the lines it writes (so that it never blocks on a full
// pipe), and a test waits for a line with a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace realstack {

class ChildProcess {
  public:
    struct Options {
        std::vector<std::string> argv;  // argv[0] is the program's path
        bool pipeStdin = false;         // Write() feeds the child's standard input
        std::string logFile;            // standard output and error go here, else to Lines()
    };

    // Throws std::runtime_error when the child cannot be started.
    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Write(std::string_view text);
    // Waits for a line that starts with text (or holds it, when anywhere), among the lines after
    // the last one found; false at the deadline or when the child closed its output first.
    bool WaitForLine(std::string_view text, std::chrono::milliseconds timeout,
                     bool anywhere = false);
    std::vector<std::string> Lines() const;
    // Every line so far, for failure messages.
    std::string Output() const;
    // Reaps the child when it has ended, without waiting.
    bool HasExited();
    // Ends the child (see above) and returns its wait status.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(3));
    // Waits for the child to end by itself; its wait status, or none at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

  private:
    void ReadLines(int fd);

    pid_t m_pid = -1;
    int m_stdin = -1;
    std::optional<int> m_status;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    size_t m_nextToSearch = 0;
    bool m_ended = false;
    std::thread m_reader;
};

// "exited with 0", "killed by signal 9"...
std::string DescribeWaitStatus(int status);

}  // namespace realstack
