#include "crash/HostExecutable.h"

#include <strings.h>

#include "directories/posix/ModuleFileNames.h"

namespace ExceptionTranslator {

std::string HostExecutablePath() {
    return ExecutableFileName();
}

bool IsHostExecutable(const std::string& executablePath) {
    const size_t slash = executablePath.rfind('/');
    const std::string name =
        slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    return strcasecmp(name.c_str(), "morahost") == 0 ||
           strcasecmp(name.c_str(), "morahost.exe") == 0;
}

}  // namespace ExceptionTranslator
