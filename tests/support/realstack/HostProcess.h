// The zeph_host program as a child process, its output lines collected for the test.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildProcess.h"
#include "OutputLines.h"

namespace hostrealstack {

class HostProcess {
  public:
    // Starts zeph_host with the arguments after the program name.
    explicit HostProcess(const std::vector<std::string>& args);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Waits for a line holding text, among the lines after the last one found; false at the
    // deadline or when the program ended without writing one.
    bool WaitForLine(std::string_view text, std::chrono::milliseconds timeout);
    bool Signal(int signal) const;
    // The wait status once the program has ended by itself; none at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    // Everything the program wrote, for failure messages.
    std::string Output() const;

  private:
    bool SearchNewLines(std::string_view text);

    std::unique_ptr<realstack::ChildProcess> m_process;
    std::unique_ptr<realstack::OutputLines> m_lines;
    size_t m_nextToSearch = 0;
};

}  // namespace hostrealstack
