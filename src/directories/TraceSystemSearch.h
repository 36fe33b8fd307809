// Where the module looks for the trace system library: the product's program directory, the host
// executable's directory and this module's directory, in that order.
#pragma once

#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

// The first of the three directories' full names of the library that exists, or empty. An unknown
// program directory makes its candidate the bare file name, tested against the current directory.
std::string FindTraceSystemLibrary(ConfigDbContext& context);

// The same for this process; the trace system loader's finder.
std::string FindTraceSystemLibraryForProcess();

}  // namespace configdb
