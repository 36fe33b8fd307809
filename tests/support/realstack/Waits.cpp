#include "Waits.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
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

// The scheduler state letter of a /proc stat file: the field after the command name in
// parentheses, which may itself hold spaces and parentheses.
char SchedulerState(const std::filesystem::path& statFile) {
    std::ifstream file(statFile);
    std::string line;
    std::getline(file, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
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

// The predicate, true only once it has held on several calls in a row.
std::function<bool()> InARow(std::function<bool()> holds) {
    return [holds = std::move(holds), count = 0]() mutable {
        count = holds() ? count + 1 : 0;
        return count == kReadsInARow;
    };
}

}  // namespace

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool WaitUntilInStatusChangeWait(pid_t thread, std::chrono::milliseconds timeout) {
    return WaitUntil(InARow([thread] { return SleepsInStatusChangeWait(thread); }), timeout,
                     kPollInterval);
}

bool WaitUntilProcessSleeps(pid_t process, std::chrono::milliseconds timeout) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(process) + "/task";
    return WaitUntil(
        InARow([tasks] {
            bool sleeping = true;
            std::error_code error;
            for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
                sleeping = sleeping && SchedulerState(task.path() / "stat") == 'S';
            }
            return sleeping && !error;
        }),
        timeout, kPollInterval);
}

}  // namespace realstack
