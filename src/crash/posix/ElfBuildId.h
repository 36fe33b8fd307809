// The build id of a loaded ELF module, read from its notes in memory, so that a debugger can
// match the module's file (or its separate debug file) to the dump.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

struct BuildId {
    const uint8_t* bytes = nullptr;  // in the module's memory
    uint32_t size = 0;
};

// The build id of the module whose ELF header lies at `base`; empty when the module has none or
// its headers and notes are not all in readable mappings.
BuildId FindBuildId(uint64_t base, const Mapping* mappings, size_t count) noexcept;

}  // namespace ExceptionTranslator::minidump
