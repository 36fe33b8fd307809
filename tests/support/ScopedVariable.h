// Sets an environment variable of this process (or unsets it, for no value), which its children
// inherit, for as long as it lives, then restores what was there. On Windows it works on the
// process's environment block, which child processes and the C runtime of a loaded library read.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

class ScopedVariable {
  public:
    ScopedVariable(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name)), m_saved(Get(m_name)) {
        Set(m_name, value);
    }
    ~ScopedVariable() { Set(m_name, m_saved); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    static std::optional<std::string> Get(const std::string& name) {
#ifdef _WIN32
        std::string value(GetEnvironmentVariableA(name.c_str(), nullptr, 0), '\0');
        if (value.empty()) {
            return std::nullopt;
        }
        value.resize(
            GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size())));
        return value;
#else
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
#endif
    }
    static void Set(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
        SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
#endif
    }

    std::string m_name;
    std::optional<std::string> m_saved;
};
