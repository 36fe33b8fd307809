#include "crash/StructuredException.h"

#include <cstdio>
#include <string>

namespace ExceptionTranslator {

namespace {

std::string DescribeFault(uint32_t code) {
    char text[257] = {};
    std::snprintf(text, sizeof text, "SEH-Exception aufgetreten: ErrorCode = %x", code);
    return text;
}

}  // namespace

StructuredException::StructuredException(uint32_t code) : std::runtime_error(DescribeFault(code)) {}

}  // namespace ExceptionTranslator
