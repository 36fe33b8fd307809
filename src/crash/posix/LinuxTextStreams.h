// The Linux streams of a dump that carry /proc files as they are (the process status, command
// line, auxiliary vector and maps), and the process id in the miscellaneous information.
#pragma once

#include <cstddef>
#include <string_view>

#include "crash/posix/DumpFile.h"

namespace ExceptionTranslator::minidump {

// Reads the file into `buffer` and writes it as the stream; an unreadable file gives an empty
// stream.
Directory WriteProcFile(DumpFile& file, uint32_t streamType, const char* path, char* buffer,
                        size_t capacity) noexcept;

// Writes text already read.
Directory WriteText(DumpFile& file, uint32_t streamType, std::string_view text) noexcept;

Directory WriteMiscInfo(DumpFile& file) noexcept;

}  // namespace ExceptionTranslator::minidump
