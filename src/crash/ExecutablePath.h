// The full file name of the running executable, as the dump names show it.
#pragma once

#include <string>

namespace ExceptionTranslator {

// GetModuleFileNameW of the executable (at most 260 characters); /proc/self/exe on Linux. Empty
// when the system cannot tell.
std::u16string ExecutablePath();

}  // namespace ExceptionTranslator
