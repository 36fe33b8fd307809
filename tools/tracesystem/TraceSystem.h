// The stand-in's state behind its 23 entry points: level mask, application level, category list,
// prefix and output, one instance per process. Level and enabled flag are read without the lock
// (the module asks before every line); the category list, the output and the lines are guarded
// by one mutex, so that each line is written whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "TraceOutput.h"
#include "TraceSettings.h"

namespace zeph::tracesystem {

class TraceSystem {
  public:
    // Never destroyed: the module may write while the process ends.
    static TraceSystem& Instance();

    // Configuration from the environment; false when a setting was not understood.
    bool InitFromEnvironment();
    // Null keeps a setting.
    bool Configure(const char* levels, const char* categories, const char* output);
    void Done();

    bool ShouldTrace(uint32_t level) const;
    bool ShouldTraceCategory(uint32_t level, std::string_view category) const;
    // One line, or the text and then `bytes` in hexadecimal lines, when level and category pass.
    bool Write(uint32_t level, std::string_view category, std::string_view entry,
               std::string_view text, std::string_view bytes = {});

    void SetEnabled(bool enabled) { m_enabled.store(enabled); }
    bool Enabled() const { return m_enabled.load(); }
    void SetLevels(uint32_t mask) { m_levels.store(mask); }
    uint32_t Levels() const { return m_levels.load(); }
    void SetAppLevels(uint32_t mask) { m_appLevels.store(mask); }
    uint32_t AppLevels() const { return m_appLevels.load(); }

    bool OpenOutput(std::string_view name);
    bool HasOutput(std::string_view name) const;
    void CloseOutput(std::string_view name);
    void RemoveCategory(std::string_view category);
    void RemoveAllCategories();

  private:
    TraceSystem() = default;
    bool CategoryPassesLocked(std::string_view category) const;
    // The settings' notes go to stderr, naming the variable.
    bool ApplyLevels(const char* text, const char* variable);
    bool ApplyOutput(const char* name, const char* variable);

    std::atomic<bool> m_enabled{false};
    std::atomic<uint32_t> m_levels{0};
    std::atomic<uint32_t> m_appLevels{kAllLevels};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_categories;
    std::string m_prefix;
    TraceOutput m_output;
};

}  // namespace zeph::tracesystem
