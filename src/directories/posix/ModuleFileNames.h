// The full file names of the library that holds this code and of the running executable.
#pragma once

#include <string>

// The absolute, resolved file name of the shared object that holds this code (the executable
// itself when the code is linked into it); empty when the system cannot tell.
std::string ThisModuleFileName();

// The executable's file name from /proc/self/exe; empty when it cannot be read.
std::string ExecutableFileName();
