// Starting the fault child (or a copy of it) and how it ended.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr int kAccessViolationEnd = static_cast<int>(0xC0000005);
inline constexpr int kExitMinusOne = -1;
#else
inline constexpr int kAccessViolationEnd = 1000 + 11;  // killed by SIGSEGV
inline constexpr int kExitMinusOne = 255;
#endif

// Runs the program with one argument and waits: its exit code, or on Linux 1000 + the signal
// that killed it; -2 when it did not start. The environment is the caller's.
int RunFaultChild(const std::string& program, const std::string& argument);

// Sets a variable of the environment the children inherit.
void SetChildVariable(const char* name, const std::string& value);
