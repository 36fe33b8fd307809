#include "crash/ExecutablePath.h"

#include "directories/posix/ModuleFileNames.h"
#include "platform/TextConversion.h"

namespace ExceptionTranslator {

std::u16string ExecutablePath() {
    return zeph::platform::NarrowToWide(ExecutableFileName());
}

}  // namespace ExceptionTranslator
