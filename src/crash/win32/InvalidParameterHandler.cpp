// The runtime's invalid-argument handler. msvcrt, which MinGW links against, accepts it but never
// calls it; it stays for runtimes that do. It acts only for the module's own threads inside an
// operation, passes everything else on to the handler that was there before, and is put back at
// unload: a later call into the unloaded module would fault.
#include "crash/InvalidParameterHandler.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "crash/CrashProcedure.h"
#include "crash/win32/ThreadFaultFlags.h"
#include "platform/OperationDepth.h"

namespace ExceptionTranslator {

namespace {

std::atomic<bool> g_installed{false};
_invalid_parameter_handler g_previous = nullptr;

// The runtime supplies no exception pointers: the record has code 0 and this handler's return
// address, the context is the one captured here.
void __cdecl InvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                                     const wchar_t* file, unsigned int line, uintptr_t reserved) {
    if (!ThreadIsMarked() || zeph::platform::OperationDepth() == 0) {
        if (g_previous != nullptr) {
            g_previous(expression, function, file, line, reserved);
        }
        return;
    }
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

// Puts the previous handler back when the module unloads.
struct Uninstaller {
    ~Uninstaller() { RemoveInvalidParameterHandler(); }
} g_uninstaller;

}  // namespace

void InstallInvalidParameterHandler() noexcept {
    if (!g_installed.exchange(true)) {
        g_previous = _set_invalid_parameter_handler(&InvalidParameterHandler);
    }
}

void RemoveInvalidParameterHandler() noexcept {
    if (!g_installed.exchange(false)) {
        return;
    }
    // A handler set after the module's stays.
    const _invalid_parameter_handler current = _set_invalid_parameter_handler(g_previous);
    if (current != &InvalidParameterHandler) {
        _set_invalid_parameter_handler(current);
    }
}

}  // namespace ExceptionTranslator
