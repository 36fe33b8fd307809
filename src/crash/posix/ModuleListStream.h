// The module list stream: each loaded module's base, size, file name and build id, which
// debuggers use to find its symbols.
#pragma once

#include "crash/posix/DumpFile.h"
#include "crash/posix/DumpWorkspace.h"

namespace ExceptionTranslator::minidump {

// Writes the modules of `workspace.modules[0, modules)`.
Directory WriteModuleList(DumpFile& file, DumpWorkspace& workspace, size_t modules,
                          const ParsedMaps& maps) noexcept;

}  // namespace ExceptionTranslator::minidump
