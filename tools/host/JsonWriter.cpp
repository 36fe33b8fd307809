#include "JsonWriter.h"

#include <cstdio>

void JsonWriter::Quote(std::string_view text) {
    m_text += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            m_text += '\\';
            m_text += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            m_text += escaped;
        } else {
            m_text += c;
        }
    }
    m_text += '"';
}

void JsonWriter::Member(std::string_view name) {
    if (!m_levels.empty()) {
        m_text += m_levels.back().hasMembers ? ",\n" : "\n";
        m_levels.back().hasMembers = true;
        m_text.append(2 * m_levels.size(), ' ');
    }
    if (!name.empty()) {
        Quote(name);
        m_text += ": ";
    }
}

JsonWriter& JsonWriter::BeginObject(std::string_view name) {
    Member(name);
    m_text += '{';
    m_levels.push_back({'}', false});
    return *this;
}

JsonWriter& JsonWriter::BeginArray(std::string_view name) {
    Member(name);
    m_text += '[';
    m_levels.push_back({']', false});
    return *this;
}

JsonWriter& JsonWriter::End() {
    const Level level = m_levels.back();
    m_levels.pop_back();
    if (level.hasMembers) {
        m_text += '\n';
        m_text.append(2 * m_levels.size(), ' ');
    }
    m_text += level.close;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view name, std::string_view value) {
    Member(name);
    Quote(value);
    return *this;
}

JsonWriter& JsonWriter::Number(std::string_view name, int64_t value) {
    Member(name);
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(std::string_view name, bool value) {
    Member(name);
    m_text += value ? "true" : "false";
    return *this;
}
