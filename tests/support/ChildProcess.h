// A test's helper program started as a process of its own. Started from a program and its
// arguments (inheritable handles are inherited; a program named without a directory is the one of
// that name beside the test program), it shares the test's output and is waited for when it goes;
// under AddressSanitizer it leaves its faults to its own handlers and to the platform's default
// action, as in a release build. Started from a whole argv (Linux), it is always stopped by its own
// pid when it goes: SIGTERM, then SIGKILL when it has not ended by the deadline; its standard input
// is a pipe the test writes to, and its output and errors go to a file in memory that the test
// reads back as lines (so that the child never blocks on a full pipe), waiting for a line with a
// deadline.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/types.h>

#include <optional>
#include <string_view>
#endif

class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The helper of that name beside the test program (".exe" added on Windows).
    static std::filesystem::path Beside(const std::string& name);

#ifdef _WIN32
    // Waits for the end of the process: its exit code; -1 when it did not start.
    int Wait();

  private:
    void* m_process = nullptr;
#else
    // argv[0] is the program's path; standard error joins the output. Throws std::runtime_error
    // when the child cannot be started.
    explicit ChildProcess(const std::vector<std::string>& argv);

    // Waits for the end of the process: its exit code, or 1000 + the number of the signal that
    // killed it; -1 when it did not start or has not ended by the deadline.
    int Wait(std::chrono::milliseconds timeout = std::chrono::hours(1));
    // Reaps the child when it has ended, without waiting.
    bool HasExited();
    // Ends the child (see above) and returns what Wait returns.
    int Stop();

    pid_t Pid() const {
        return m_pid;
    }
    bool Write(std::string_view text);
    // Waits for a line that starts with text (or holds it, when anywhere), among the lines after
    // the last one found; false at the deadline or when the child ended first.
    bool WaitForLine(std::string_view text, std::chrono::milliseconds timeout,
                     bool anywhere = false);
    // The whole lines written so far, without their line ends.
    std::vector<std::string> Lines() const;
    // Everything written so far, for failure messages.
    std::string Output() const;

  private:
    int Spawn(const std::vector<std::string>& argv, bool capture);

    bool m_stopWhenGone = false;
    int m_stdin = -1;
    int m_output = -1;
    std::optional<int> m_status;
    size_t m_nextToSearch = 0;
    pid_t m_pid = -1;
#endif
};
