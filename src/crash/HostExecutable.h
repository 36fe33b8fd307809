// Whether the module runs inside the product's host process, told by the executable's path.
#pragma once

#include <string>

namespace ExceptionTranslator {

// The full path of the running executable (single-byte text); empty when the system cannot tell.
std::string HostExecutablePath();

// Windows: the lower-cased path contains "\morahost.exe". Linux: the file name is "morahost",
// with or without ".exe", in any letter case.
bool IsHostExecutable(const std::string& executablePath);

}  // namespace ExceptionTranslator
