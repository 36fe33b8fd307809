// Text operations on the library's narrow paths.
#pragma once

#include <cstddef>
#include <string>

#include "directories/DirectoryEnvironment.h"

namespace configdb {

// The longest path the library takes from the system (its buffers hold 260 characters with the
// terminator). A longer one is refused, never cut: a cut path may name another, existing entry.
inline constexpr size_t kMaxPathChars = 259;

// The separator before which a parent directory exists: after "C:\" on Windows, after "/" on
// Linux.
#ifdef _WIN32
inline constexpr size_t kFirstParentSeparator = 3;
#else
inline constexpr size_t kFirstParentSeparator = 1;
#endif

bool EndsWithSeparator(const std::string& path);
// Appends the separator when the path is not empty and does not end with one.
void AppendSeparator(std::string& path);
// Appends the separator when missing, then `name`.
void AppendName(std::string& path, const std::string& name);

// The relative path Talpo\<kind>\<name>\ of a component: "Mora" for the logs of the six known
// components, "MoraCompact" for the own component's configuration, else the id itself.
std::string TalpoPath(const std::string& compId, const std::string& kind);

bool IsOwnComponent(const std::string& compId);

}  // namespace configdb
