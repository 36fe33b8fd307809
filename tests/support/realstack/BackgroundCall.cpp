#include "BackgroundCall.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace realstack {

namespace {

constexpr int kReadsInARow = 3;
constexpr std::chrono::microseconds kPollInterval{200};
// poll()'s timeout argument as /proc shows it for "no timeout" (-1 as a 32-bit int).
constexpr unsigned long kNoTimeout = 0xFFFFFFFFul;

std::string TaskFile(pid_t thread, const char* name) {
    return "/proc/self/task/" + std::to_string(thread) + "/" + name;
}

// Sleeping in poll() or ppoll() with a timeout. /proc/.../syscall holds the call's number and
// its arguments; "running" (or nothing usable) while the thread does not sleep in a call.
bool SleepsInStatusChangeWait(pid_t thread) {
    if (SchedulerState(TaskFile(thread, "stat")) != 'S') {
        return false;
    }
    std::ifstream file(TaskFile(thread, "syscall"));
    long number = -1;
    std::string args[3];
    if (!(file >> number >> args[0] >> args[1] >> args[2])) {
        return false;
    }
    const unsigned long timeout = std::stoul(args[2], nullptr, 16);
#ifdef SYS_poll
    if (number == SYS_poll) {
        return (timeout & kNoTimeout) != kNoTimeout;
    }
#endif
    return number == SYS_ppoll && timeout != 0;  // a timespec: there is a timeout
}

}  // namespace

char SchedulerState(const std::filesystem::path& statFile) {
    std::ifstream file(statFile);
    std::string line;
    std::getline(file, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool WaitUntilInStatusChangeWait(pid_t thread, std::chrono::milliseconds timeout) {
    int inARow = 0;
    return WaitUntil(
        [&] {
            inARow = SleepsInStatusChangeWait(thread) ? inARow + 1 : 0;
            return inARow == kReadsInARow;
        },
        timeout, kPollInterval);
}

}  // namespace realstack
