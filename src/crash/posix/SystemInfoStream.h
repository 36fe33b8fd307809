// The system information stream: x86-64 on Linux, the processor's identification and the
// kernel's version.
#pragma once

#include <cstdint>

#include "crash/posix/DumpFile.h"

namespace ExceptionTranslator::minidump {

Directory WriteSystemInfo(DumpFile& file, uint32_t processors, char16_t* scratch,
                          size_t capacity) noexcept;

}  // namespace ExceptionTranslator::minidump
