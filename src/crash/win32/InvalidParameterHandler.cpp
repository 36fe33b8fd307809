// The runtime's invalid-argument handler. msvcrt, which MinGW links against, accepts it but never
// calls it; it stays for runtimes that do.
#include "crash/InvalidParameterHandler.h"

#include <windows.h>

#include <cstdlib>

#include "crash/CrashProcedure.h"

namespace ExceptionTranslator {

namespace {

// The runtime supplies no exception pointers: the record has code 0 and this handler's return
// address, the context is the one captured here.
void __cdecl InvalidParameterHandler(const wchar_t* /*expression*/, const wchar_t* /*function*/,
                                     const wchar_t* /*file*/, unsigned int /*line*/,
                                     uintptr_t /*reserved*/) {
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionAddress = __builtin_return_address(0);
    EXCEPTION_POINTERS pointers{&record, &context};
    RunCrashProcedure(
        u"InvalidParameterHandler -> Exception aufgetreten! Thread-ID <%d> - MiniDump wird "
        u"erzeugt!",
        &pointers);
}

}  // namespace

void InstallInvalidParameterHandler() noexcept {
    static const bool installed = [] {
        _set_invalid_parameter_handler(&InvalidParameterHandler);
        return true;
    }();
    static_cast<void>(installed);
}

}  // namespace ExceptionTranslator
