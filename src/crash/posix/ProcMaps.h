// The process's memory mappings as /proc/self/maps lists them, read with read(2) into a buffer
// of the caller and parsed in place: no allocation, so it serves a signal handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ExceptionTranslator::minidump {

struct Mapping {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t offset = 0;     // into the mapped file
    uint32_t pathStart = 0;  // into the maps text; the path is empty for anonymous memory
    uint16_t pathLength = 0;
    bool readable = false;
    bool executable = false;
};

// Maps text and how many mappings were parsed from it (into an array the caller keeps).
struct ParsedMaps {
    std::string_view text;
    size_t count = 0;
};

// Reads the whole file (or as much as fits) into `buffer`; returns the length, 0 on failure.
size_t ReadWholeFile(const char* path, char* buffer, size_t capacity) noexcept;

// Parses the lines of maps text into `mappings` (up to `capacity`); returns how many. A line cut
// off at the end of the text is left out.
size_t ParseMaps(std::string_view text, Mapping* mappings, size_t capacity) noexcept;

// The mapping that holds `address`, or null.
const Mapping* FindMapping(const Mapping* mappings, size_t count, uint64_t address) noexcept;

inline std::string_view MappingPath(std::string_view text, const Mapping& mapping) noexcept {
    return text.substr(mapping.pathStart, mapping.pathLength);
}

}  // namespace ExceptionTranslator::minidump
