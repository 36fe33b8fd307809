// A test's helper program started as a process of its own, with the arguments as given
// (inheritable handles are inherited); a program named without a directory is the one of that
// name beside the test program. Under AddressSanitizer a child leaves its faults to its own
// handlers and to the platform's default action, as in a release build.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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

  private:
    void* m_process = nullptr;  // the process handle on Windows
    long m_pid = -1;            // the process id on Linux
};
