// The module list stream: each loaded module's base, size and file name, which debuggers use to
// find its symbols.
#pragma once

#include "crash/posix/DumpFile.h"
#include "crash/posix/DumpWorkspace.h"

namespace ExceptionTranslator::minidump {

// Writes the modules of `workspace.modules[0, count)` with the names in the maps text.
Directory WriteModuleList(DumpFile& file, DumpWorkspace& workspace, size_t count,
                          std::string_view mapsText) noexcept;

}  // namespace ExceptionTranslator::minidump
