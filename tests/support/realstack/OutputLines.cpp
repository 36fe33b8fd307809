#include "OutputLines.h"

#include <unistd.h>

#include <cerrno>

namespace realstack {

OutputLines::OutputLines(int fd) : m_fd(fd), m_reader([this] { ReadUntilEnd(); }) {}

OutputLines::~OutputLines() {
    m_reader.join();
    close(m_fd);
}

bool OutputLines::WaitFor(std::string_view prefix, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    bool found = false;
    m_changed.wait_for(lock, timeout, [&] {
        for (; m_nextToSearch < m_lines.size() && !found; ++m_nextToSearch) {
            found = m_lines[m_nextToSearch].starts_with(prefix);
        }
        return found || m_ended;
    });
    return found;
}

std::vector<std::string> OutputLines::Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

void OutputLines::ReadUntilEnd() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(got));
        std::lock_guard lock(m_mutex);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            m_lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
        m_changed.notify_all();
    }
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

}  // namespace realstack
