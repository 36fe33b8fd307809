// The module's entry point: process attach runs the start-up registrations once.
#include "extension/StartupHooks.h"

#ifdef _WIN32
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        OnProcessAttach();
    }
    return TRUE;
}
#else
// The loader runs this once when the library is loaded into the process.
__attribute__((constructor)) static void ZephModuleAttach() {
    OnProcessAttach();
}
#endif
