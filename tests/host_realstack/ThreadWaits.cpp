#include "ThreadWaits.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

namespace hostrealstack {

namespace {

constexpr int kReadsInARow = 5;
constexpr std::chrono::microseconds kPollInterval{200};

std::string TaskFile(pid_t thread, const char* name) {
    return "/proc/self/task/" + std::to_string(thread) + "/" + name;
}

// The scheduler state letter of /proc/.../stat: the field after the command name in parentheses,
// which may itself hold spaces and parentheses.
char SchedulerState(pid_t thread) {
    std::ifstream file(TaskFile(thread, "stat"));
    std::string line;
    std::getline(file, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

// The number of the system call the thread sleeps in; -1 while it runs or when unknown.
long CurrentSystemCall(pid_t thread) {
    std::ifstream file(TaskFile(thread, "syscall"));
    std::string first;
    file >> first;
    if (first.empty() || first == "running" || first[0] < '0' || first[0] > '9') {
        return -1;
    }
    return std::stol(first);
}

}  // namespace

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool SleepsOnInput(pid_t thread) {
    if (SchedulerState(thread) != 'S') {
        return false;
    }
    const long call = CurrentSystemCall(thread);
    return call >= 0 && call != SYS_futex && call != SYS_nanosleep && call != SYS_clock_nanosleep;
}

bool WaitUntilSleepsOnInput(pid_t thread, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int inARow = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        inARow = SleepsOnInput(thread) ? inARow + 1 : 0;
        if (inARow == kReadsInARow) {
            return true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

}  // namespace hostrealstack
