#include <windows.h>

#include "crash/CrashMessage.h"

namespace ExceptionTranslator {

// Without a display (Wine in tests) the box returns at once.
void ShowPlatformCrashMessage(const char16_t* text, const char16_t* caption) {
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text),
                reinterpret_cast<const wchar_t*>(caption), MB_OK | MB_ICONERROR);
}

}  // namespace ExceptionTranslator
