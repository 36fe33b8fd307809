#include "process/ProcessLauncher.h"

#include <spawn.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/TextConversion.h"

extern char** environ;

namespace ThreadControl {

namespace {

// The program of a command line: the text between its leading quotes, or else its first word.
// The parameters follow, split on blanks.
std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    size_t position = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t closing = commandLine.find('"', 1);
        const size_t end = closing == std::string::npos ? commandLine.size() : closing;
        words.push_back(commandLine.substr(1, end - 1));
        position = end + 1;
    }
    while (position < commandLine.size()) {
        const size_t start = commandLine.find_first_not_of(' ', position);
        if (start == std::string::npos) {
            break;
        }
        const size_t end = std::min(commandLine.find(' ', start), commandLine.size());
        words.push_back(commandLine.substr(start, end - start));
        position = end;
    }
    return words;
}

}  // namespace

LaunchOutcome LaunchProcess(const std::u16string& commandLine, void* /*startupInfo*/) {
    std::vector<std::string> words = SplitCommandLine(zeph::platform::WideToNarrow(commandLine));
    LaunchOutcome outcome;
    if (words.empty()) {
        outcome.createError = ENOENT;
        return outcome;
    }
    std::vector<char*> arguments;
    arguments.reserve(words.size() + 1);
    for (std::string& word : words) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    pid_t child = 0;
    const int error =
        posix_spawn(&child, arguments[0], nullptr, nullptr, arguments.data(), environ);
    if (error != 0) {
        outcome.createError = static_cast<uint32_t>(error);
        return outcome;
    }
    // The child is not reaped: as with the closed handles on Windows, its exit is nobody's
    // concern (in the crash procedure the caller's process ends right after the start). A
    // console program has no input readiness to wait for.
    outcome.created = true;
    outcome.wait = InputIdleWait::Failed;
    outcome.waitValue = kErrorNotGuiProcess;
    return outcome;
}

}  // namespace ThreadControl
