#include "TraceOutput.h"

namespace zeph::tracesystem {

TraceOutput::~TraceOutput() {
    Close();
}

bool TraceOutput::Open(std::string_view name) {
    Close();
    if (name == "stderr" || name == "stdout") {
        m_stream = name == "stderr" ? stderr : stdout;
    } else {
        m_stream = std::fopen(std::string(name).c_str(), "ab");
        m_ownsStream = m_stream != nullptr;
    }
    if (m_stream != nullptr) {
        m_name = name;
    }
    return m_stream != nullptr;
}

void TraceOutput::Close() {
    if (m_ownsStream) {
        std::fclose(m_stream);
    } else if (m_stream != nullptr) {
        std::fflush(m_stream);
    }
    m_stream = nullptr;
    m_ownsStream = false;
    m_name.clear();
}

void TraceOutput::Write(std::string_view line) {
    if (m_stream != nullptr) {
        std::fwrite(line.data(), 1, line.size(), m_stream);
        std::fflush(m_stream);
    }
}

}  // namespace zeph::tracesystem
