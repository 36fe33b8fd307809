// A test's helper program started as a process of its own. Started from a program and its
// arguments (inheritable handles are inherited; a program named without a directory is the one of
// that name beside the test program), it shares the test's output and is waited for when it goes;
// under AddressSanitizer it leaves its faults to its own handlers and to the platform's default
// action, as in a release build. Started from Options (Linux), it is always stopped by its own
// pid when it goes: SIGTERM, then SIGKILL when it has not ended by the deadline; unless its output
// goes to a log file, a thread of its own collects the lines it writes (so that it never blocks on
// a full pipe), and a test waits for a line with a deadline.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#endif

class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end of the process: its exit code, on Linux 1000 + the number of the signal
    // that killed it; -1 when it did not start.
    int Wait();

    // The helper of that name beside the test program (".exe" added on Windows).
    static std::filesystem::path Beside(const std::string& name);

#ifndef _WIN32
    struct Options {
        std::vector<std::string> argv;  // argv[0] is the program's path
        bool pipeStdin = false;         // Write() feeds the child's standard input
        std::string logFile;            // standard output and error go here, else to Lines()
    };
    // Throws std::runtime_error when the child cannot be started.
    explicit ChildProcess(const Options& options);

    pid_t Pid() const {
        return static_cast<pid_t>(m_pid);
    }
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
    int Spawn(const Options& options, bool captureOutput);
    void ReadLines(int fd);

    bool m_stopWhenGone = false;
    int m_stdin = -1;
    std::optional<int> m_status;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    size_t m_nextToSearch = 0;
    bool m_ended = false;
    std::thread m_reader;
#else
  private:
    void* m_process = nullptr;  // the process handle on Windows
#endif
    long m_pid = -1;  // the process id on Linux
};
