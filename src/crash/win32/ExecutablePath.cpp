#include "crash/ExecutablePath.h"

#include <windows.h>

#include "platform/TextConversion.h"

namespace ExceptionTranslator {

std::u16string ExecutablePath() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return zeph::platform::AsChar16(path);
}

}  // namespace ExceptionTranslator
