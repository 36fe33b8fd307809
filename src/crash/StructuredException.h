// The exception that carries a processor fault from the crash handler to the barrier of the
// operation it hit, which traces it as a standard exception with this text.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace ExceptionTranslator {

class StructuredException : public std::runtime_error {
  public:
    // "SEH-Exception aufgetreten: ErrorCode = %x" with the exception code (Linux: the signal).
    explicit StructuredException(uint32_t code);
};

}  // namespace ExceptionTranslator
