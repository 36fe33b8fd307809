#include "crash/InvalidParameterHandler.h"

namespace ExceptionTranslator {

// The C and C++ runtimes of Linux report invalid arguments through return values and errno only.
void InstallInvalidParameterHandler() noexcept {}
void RemoveInvalidParameterHandler() noexcept {}

}  // namespace ExceptionTranslator
