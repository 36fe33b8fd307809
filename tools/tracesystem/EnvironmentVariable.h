// The process environment as the stand-in reads it (on Windows the process's own block, which
// SetEnvironmentVariable and _putenv change, not a copy of one C runtime).
#pragma once

#include <optional>
#include <string>

namespace zeph::tracesystem {

// None when the variable is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

}  // namespace zeph::tracesystem
