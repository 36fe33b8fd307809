// The loaded modules as debuggers want them in a dump: one entry per mapped file that has
// executable code, from its first mapping (where the ELF header lies) to the end of its last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

struct LoadedModule {
    uint64_t base = 0;
    uint64_t end = 0;
    const Mapping* first = nullptr;  // names the file
};

// Groups the consecutive mappings of each file (anonymous mappings between them, such as a
// library's zero-filled data, do not split it); returns how many modules went into `modules`.
size_t CollectModules(std::string_view mapsText, const Mapping* mappings, size_t count,
                      LoadedModule* modules, size_t capacity) noexcept;

}  // namespace ExceptionTranslator::minidump
