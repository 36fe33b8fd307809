// The memory the dump writer works in, reserved before any fault: the maps text and its parsed
// mappings, the modules, a buffer for the other /proc files, one for a module's UTF-16 name, and
// the other threads with their helper's stack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/posix/LoadedModules.h"
#include "crash/posix/MiniDumpFormat.h"
#include "crash/posix/OtherThreads.h"
#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

struct DumpWorkspace {
    static constexpr size_t kMapsCapacity = size_t{256} * 1024;
    static constexpr size_t kMaxMappings = 6144;
    static constexpr size_t kMaxModules = 1024;
    static constexpr size_t kTextCapacity = size_t{16} * 1024;
    static constexpr size_t kNameCapacity = 4096;  // UTF-16 units

    char maps[kMapsCapacity];
    Mapping mappings[kMaxMappings];
    LoadedModule modules[kMaxModules];
    Rva moduleNames[kMaxModules];
    LocationDescriptor moduleBuildIds[kMaxModules];
    char text[kTextCapacity];
    char16_t name[kNameCapacity];
    ContextAmd64 context;
    OtherThreads otherThreads;
    uint32_t processors = 0;  // online when the memory was reserved
};

// Maps the workspace once (idempotent, thread-safe); false when it could not be had.
bool ReserveWorkspace() noexcept;
// The workspace, or null before a successful reservation.
DumpWorkspace* Workspace() noexcept;

}  // namespace ExceptionTranslator::minidump
