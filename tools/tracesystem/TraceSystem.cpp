#include "TraceSystem.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "EnvironmentVariable.h"
#include "TraceLine.h"

namespace zeph::tracesystem {
namespace {

constexpr size_t kDumpBytesPerLine = 16;

void Note(const char* variable, const char* value, const char* consequence) {
    std::fprintf(stderr, "TpUmTraceSystem001_x64: %s \"%s\" is not understood; %s\n", variable,
                 value, consequence);
}

// "0000: 3B BF 96" for the bytes of one dump line starting at `offset`.
std::string DumpRow(std::string_view bytes, size_t offset) {
    char text[8 + 3 * kDumpBytesPerLine];
    int used = std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>(offset));
    const size_t end = std::min(bytes.size(), offset + kDumpBytesPerLine);
    for (size_t i = offset; i < end; ++i) {
        used += std::snprintf(text + used, sizeof text - static_cast<size_t>(used), " %02X",
                              static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

}  // namespace

TraceSystem& TraceSystem::Instance() {
    static TraceSystem* const instance = new TraceSystem;
    return *instance;
}

bool TraceSystem::InitFromEnvironment() {
    const std::optional<std::string> levels = EnvironmentVariable("ZEPH_TRACE_LEVELS");
    const std::optional<std::string> categories = EnvironmentVariable("ZEPH_TRACE_CATEGORIES");
    const std::optional<std::string> output = EnvironmentVariable("ZEPH_TRACE_OUTPUT");
    {
        std::lock_guard lock(m_mutex);
        m_categories = ParseCategories(categories.value_or(""));
        m_prefix = EnvironmentVariable("ZEPH_TRACE_PREFIX").value_or("");
    }
    m_appLevels.store(kAllLevels);
    m_enabled.store(true);
    const bool levelsOk = ApplyLevels(levels.value_or("0").c_str(), "ZEPH_TRACE_LEVELS");
    const bool outputOk = ApplyOutput(output.value_or("stderr").c_str(), "ZEPH_TRACE_OUTPUT");
    return levelsOk && outputOk;
}

bool TraceSystem::Configure(const char* levels, const char* categories, const char* output) {
    if (categories != nullptr) {
        std::lock_guard lock(m_mutex);
        m_categories = ParseCategories(categories);
    }
    const bool levelsOk = levels == nullptr || ApplyLevels(levels, nullptr);
    const bool outputOk = output == nullptr || ApplyOutput(output, nullptr);
    return levelsOk && outputOk;
}

bool TraceSystem::ApplyLevels(const char* text, const char* variable) {
    const std::optional<uint32_t> mask = ParseLevels(text);
    if (!mask && variable != nullptr) {
        Note(variable, text, "nothing is traced");
    }
    m_levels.store(mask.value_or(0));
    return mask.has_value();
}

bool TraceSystem::ApplyOutput(const char* name, const char* variable) {
    const std::string_view wanted = *name != '\0' ? name : "stderr";
    if (OpenOutput(wanted)) {
        return true;
    }
    if (variable != nullptr) {
        Note(variable, name, "the lines go to stderr");
    }
    OpenOutput("stderr");
    return false;
}

void TraceSystem::Done() {
    m_enabled.store(false);
    std::lock_guard lock(m_mutex);
    m_output.Close();
}

bool TraceSystem::ShouldTrace(uint32_t level) const {
    return m_enabled.load() && (level & m_levels.load() & m_appLevels.load()) != 0;
}

bool TraceSystem::ShouldTraceCategory(uint32_t level, std::string_view category) const {
    if (!ShouldTrace(level)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    return CategoryPassesLocked(category);
}

bool TraceSystem::CategoryPassesLocked(std::string_view category) const {
    return m_categories.empty() ||
           std::find(m_categories.begin(), m_categories.end(), category) != m_categories.end();
}

bool TraceSystem::Write(uint32_t level, std::string_view category, std::string_view entry,
                        std::string_view text, std::string_view bytes) {
    if (!ShouldTrace(level)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (!CategoryPassesLocked(category) || m_output.Name().empty()) {
        return false;
    }
    std::string lines = FormatTraceLine(m_prefix, level, category, entry, text);
    for (size_t offset = 0; offset < bytes.size(); offset += kDumpBytesPerLine) {
        lines += FormatTraceLine(m_prefix, level, category, {}, DumpRow(bytes, offset));
    }
    m_output.Write(lines);
    return true;
}

bool TraceSystem::OpenOutput(std::string_view name) {
    std::lock_guard lock(m_mutex);
    return m_output.Open(name);
}

bool TraceSystem::HasOutput(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    return !name.empty() && m_output.Name() == name;
}

void TraceSystem::CloseOutput(std::string_view name) {
    std::lock_guard lock(m_mutex);
    if (m_output.Name() == name) {
        m_output.Close();
    }
}

void TraceSystem::RemoveCategory(std::string_view category) {
    std::lock_guard lock(m_mutex);
    std::erase(m_categories, category);
}

void TraceSystem::RemoveAllCategories() {
    std::lock_guard lock(m_mutex);
    m_categories.clear();
}

}  // namespace zeph::tracesystem
