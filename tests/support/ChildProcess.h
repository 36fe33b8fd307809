// A test's helper program started as a process of its own: the program of that name in the test
// program's own directory, with the arguments as given (inheritable handles are inherited).
#pragma once

#include <string>
#include <vector>

class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end of the process and returns its exit code; -1 when it did not start.
    int Wait();

  private:
    void* m_process = nullptr;  // the process handle on Windows
    long m_pid = -1;            // the process id on Linux
};
