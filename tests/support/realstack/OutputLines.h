// Collects the lines a child writes to a pipe, on a thread of its own so that the child never
// blocks on a full pipe, and lets a test wait for a line with a deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace realstack {

class OutputLines {
  public:
    // Takes over the read end of the pipe; reading ends when every writer has closed it.
    explicit OutputLines(int fd);
    // Waits for the writers to go: stop the child first.
    ~OutputLines();
    OutputLines(const OutputLines&) = delete;
    OutputLines& operator=(const OutputLines&) = delete;

    // Waits for a line that starts with prefix, among the lines after the last one found; true
    // when it came before the deadline.
    bool WaitFor(std::string_view prefix, std::chrono::milliseconds timeout);
    std::vector<std::string> Lines() const;

  private:
    void ReadUntilEnd();

    int m_fd;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    size_t m_nextToSearch = 0;
    bool m_ended = false;
    std::thread m_reader;
};

}  // namespace realstack
