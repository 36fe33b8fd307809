// Sets an environment variable (or unsets it, for no value) for as long as it lives, then restores
// what was there (POSIX).
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
        if (value) {
            setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    ~ScopedVariable() {
        if (m_saved) {
            setenv(m_name.c_str(), m_saved->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    std::string m_name;
    std::optional<std::string> m_saved;
};
