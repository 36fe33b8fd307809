// Where the stand-in's lines go: stderr, stdout or a file opened for appending. Each line is
// handed to the stream in one piece and flushed at once, so that lines of the host and of other
// processes appending to the same file stay whole. Not locked: TraceSystem serialises the calls.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zeph::tracesystem {

class TraceOutput {
  public:
    TraceOutput() = default;
    ~TraceOutput();
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // "stderr", "stdout" or a file path (created when missing). Closes the output before; false
    // when the file cannot be opened, which leaves no output.
    bool Open(std::string_view name);
    void Close();
    // The name it was opened with; empty when closed.
    const std::string& Name() const { return m_name; }
    // Dropped when closed.
    void Write(std::string_view line);

  private:
    std::FILE* m_stream = nullptr;
    bool m_ownsStream = false;
    std::string m_name;
};

}  // namespace zeph::tracesystem
