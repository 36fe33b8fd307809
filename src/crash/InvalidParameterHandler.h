// The runtime library's handler of invalid arguments. Windows installs it with
// _set_invalid_parameter_handler, which links against msvcrt but is never called by it; Linux's
// runtime has no such hook, so there installing does nothing.
#pragma once

namespace ExceptionTranslator {

// Installs the module's handler once; Windows passes invalid arguments of other threads, and of the
// module's threads outside an operation, on to the handler installed before.
void InstallInvalidParameterHandler() noexcept;
// Puts the handler installed before back (done at unload), unless another has been set since.
void RemoveInvalidParameterHandler() noexcept;

}  // namespace ExceptionTranslator
