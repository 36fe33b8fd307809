#include <windows.h>

#include "directories/DiagnosticWriter.h"

namespace configdb {

void DebuggerOutput(const char* text) noexcept {
    OutputDebugStringA(text);
}

}  // namespace configdb
