// The host's output: one line per step, prefixed with the seconds since the run started, written
// whole and flushed at once so that lines of different threads never mix and a reader of the
// output sees each step when it happens.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>

class HostLog {
  public:
    explicit HostLog(std::FILE* out);

    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

  private:
    std::FILE* m_out;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
};
