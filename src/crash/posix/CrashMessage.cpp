#include <syslog.h>

#include <string>

#include "crash/CrashMessage.h"
#include "platform/TextConversion.h"

namespace ExceptionTranslator {

// The caption and the text on one line of the system log; the line break becomes a blank.
void ShowPlatformCrashMessage(const char16_t* text, const char16_t* caption) {
    std::string line = zeph::platform::WideToNarrow(std::u16string(caption)) + ": " +
                       zeph::platform::WideToNarrow(std::u16string(text));
    for (char& c : line) {
        c = c == '\n' ? ' ' : c;
    }
    syslog(LOG_ERR, "%s", line.c_str());
}

}  // namespace ExceptionTranslator
