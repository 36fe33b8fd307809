#include "HostLog.h"

#include <cstdarg>
#include <vector>

HostLog::HostLog(std::FILE* out) : m_out(out), m_start(std::chrono::steady_clock::now()) {}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its calls checked by the format attribute.
void HostLog::Line(const char* format, ...) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    const auto ms = static_cast<unsigned long>(elapsed.count());
    std::lock_guard lock(m_mutex);
    std::fprintf(m_out, "[%4lu.%03lu] %s\n", ms / 1000, ms % 1000, text.data());
    std::fflush(m_out);
}
