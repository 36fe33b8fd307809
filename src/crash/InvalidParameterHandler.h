// The runtime library's handler of invalid arguments. Windows installs it with
// _set_invalid_parameter_handler, which links against msvcrt but is never called by it; Linux's
// runtime has no such hook, so there installing does nothing.
#pragma once

namespace ExceptionTranslator {

void InstallInvalidParameterHandler() noexcept;

}  // namespace ExceptionTranslator
