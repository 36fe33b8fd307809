#include "crash/HostExecutable.h"

#include <algorithm>
#include <cctype>

#include "directories/win32/ModuleFileNames.h"

namespace ExceptionTranslator {

std::string HostExecutablePath() {
    return ModuleFileNameNarrow(false);
}

bool IsHostExecutable(const std::string& executablePath) {
    std::string lower = executablePath;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return lower.find("\\morahost.exe") != std::string::npos;
}

}  // namespace ExceptionTranslator
