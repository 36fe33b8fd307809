// Test trace systems that install themselves into TraceSystemLib for their lifetime.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// A line as the trace system received it.
struct TraceLine {
    uint16_t level = 0;
    std::string category;
    std::string text;

    bool operator==(const TraceLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TraceLine& line);

// Records the delivered lines and answers the queries from one level mask, for every category:
// ExpShouldTrace, ExpShouldTraceCategory and ExpWrite accept a level when it lies in the mask, and
// ExpWrite keeps only accepted lines. The default mask traces every level. Only one instance may
// exist at a time; it is thread-safe.
class CapturingTraceSystem {
  public:
    static constexpr uint16_t kAllLevels = 0xFFFF;

    explicit CapturingTraceSystem(uint16_t levels = kAllLevels);
    ~CapturingTraceSystem();
    CapturingTraceSystem(const CapturingTraceSystem&) = delete;
    CapturingTraceSystem& operator=(const CapturingTraceSystem&) = delete;

    void SetLevels(uint16_t levels) { m_levels.store(levels); }

    std::vector<TraceLine> Lines() const;
    std::vector<std::string> Texts() const;
    // The texts at one level, in order, without the entry and exit lines of method traces.
    std::vector<std::string> TextsAt(uint16_t level) const;
    void Clear();

  private:
    static bool ExpShouldTrace(int level);
    static int ExpWrite(int level, const char* category, const char* text);

    static std::atomic<CapturingTraceSystem*> s_active;

    mutable std::mutex m_mutex;
    std::atomic<uint16_t> m_levels;
    std::vector<TraceLine> m_lines;
};

// Test texts are written in UTF-8 or UTF-16; the trace system receives ISO 8859-1. Converts a
// text whose characters all lie below U+0100 to the bytes a trace line carries (UTF-16 through
// the module's own conversion).
std::string Latin1(std::string_view utf8);
std::string Latin1(std::u16string_view text);
