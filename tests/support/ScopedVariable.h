// Sets an environment variable of this process (or unsets it, for no value), which its children
// inherit, for as long as it lives, then restores what was there. On Windows the C runtime's
// _putenv_s writes the process's environment block as well, which child processes and the C
// runtime of a loaded library read.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class ScopedVariable {
  public:
    ScopedVariable(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name)) {
        if (const char* saved = std::getenv(m_name.c_str())) {
            m_saved = saved;
        }
        Set(m_name, value);
    }
    ~ScopedVariable() { Set(m_name, m_saved); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(name.c_str(), value ? value->c_str() : "");  // empty: removed
#else
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
#endif
    }

    std::string m_name;
    std::optional<std::string> m_saved;
};
