#include "CapturingTraceSystem.h"

#include <cassert>

#include "registry/RegFileText.h"
#include "tracing/Latin1.h"
#include "tracing/TraceSystemLib.h"

std::atomic<CapturingTraceSystem*> CapturingTraceSystem::s_active{nullptr};

std::ostream& operator<<(std::ostream& out, const TraceLine& line) {
    return out << "{" << line.level << ", \"" << line.category << "\", \"" << line.text << "\"}";
}

CapturingTraceSystem::CapturingTraceSystem(uint16_t levels) : m_levels(levels) {
    [[maybe_unused]] CapturingTraceSystem* const previous = s_active.exchange(this);
    assert(previous == nullptr && "only one test trace system at a time");
    TraceSystemLib::Instance().InstallForTesting(
        {&ExpShouldTrace, [](int level, const char*) { return ExpShouldTrace(level); }, &ExpWrite});
}

CapturingTraceSystem::~CapturingTraceSystem() {
    TraceSystemLib::Instance().ResetForTesting();
    s_active.store(nullptr);
}

std::vector<TraceLine> CapturingTraceSystem::Lines() const {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_lines;
}

std::vector<std::string> CapturingTraceSystem::Texts() const {
    std::vector<std::string> texts;
    for (const TraceLine& line : Lines()) {
        texts.push_back(line.text);
    }
    return texts;
}

std::vector<std::string> CapturingTraceSystem::TextsAt(uint16_t level) const {
    std::vector<std::string> texts;
    for (const TraceLine& line : Lines()) {
        if (line.level == level && !line.text.starts_with("---> ") &&
            !line.text.starts_with("<--- ")) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

void CapturingTraceSystem::Clear() {
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_lines.clear();
}

bool CapturingTraceSystem::ExpShouldTrace(int level) {
    CapturingTraceSystem* const self = s_active.load();
    return self != nullptr && (self->m_levels.load() & level) != 0;
}

int CapturingTraceSystem::ExpWrite(int level, const char* category, const char* text) {
    CapturingTraceSystem* const self = s_active.load();
    if (self == nullptr || (self->m_levels.load() & level) == 0) {
        return 0;
    }
    const std::lock_guard<std::mutex> guard(self->m_mutex);
    self->m_lines.push_back({static_cast<uint16_t>(level), category, text});
    return 1;
}

// Through the module's own UTF-8 decoder, which the registry file uses.
std::string Latin1(std::string_view utf8) {
    std::u16string text;
    DecodeRegFileText(utf8, text);
    return Latin1(std::u16string_view(text));
}

std::string Latin1(std::u16string_view text) {
    std::string latin1(text.size() + 1, '\0');
    latin1.resize(zeph::trace::ToLatin1(text, latin1.data(), text.size()));
    return latin1;
}
