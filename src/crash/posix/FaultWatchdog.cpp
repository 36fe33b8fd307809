#include "crash/posix/FaultWatchdog.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace ExceptionTranslator {

namespace {

// One procedure at a time holds the watchdog: the thread that armed it, which alone may disarm it.
// The fault it guards is kept for SIGALRM's handler.
std::atomic<pid_t> g_owner{0};
std::atomic<int> g_guardedSignal{0};
timer_t g_timer{};
struct sigaction g_previousAlarm {};

void OnAlarm(int /*signal*/) {
    EndWithFault(g_guardedSignal.load());
}

}  // namespace

bool ArmFaultWatchdog(int faultSignal) noexcept {
    pid_t idle = 0;
    if (!g_owner.compare_exchange_strong(idle, gettid())) {
        return false;
    }
    g_guardedSignal.store(faultSignal);
    struct sigaction alarm {};
    alarm.sa_handler = &OnAlarm;
    alarm.sa_flags = SA_ONSTACK;
    sigemptyset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, &g_previousAlarm);
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = gettid();
    if (timer_create(CLOCK_MONOTONIC, &event, &g_timer) != 0) {
        sigaction(SIGALRM, &g_previousAlarm, nullptr);
        g_owner.store(0);
        return false;
    }
    itimerspec expiry{};
    expiry.it_value.tv_sec = kProcedureSeconds;
    timer_settime(g_timer, 0, &expiry, nullptr);
    return true;
}

void DisarmFaultWatchdog() noexcept {
    if (g_owner.load() != gettid()) {
        return;
    }
    timer_delete(g_timer);
    sigaction(SIGALRM, &g_previousAlarm, nullptr);
    g_guardedSignal.store(0);
    g_owner.store(0);
}

void EndWithFault(int faultSignal) noexcept {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(faultSignal, &defaultAction, nullptr);
    sigset_t fault;
    sigemptyset(&fault);
    sigaddset(&fault, faultSignal);
    pthread_sigmask(SIG_UNBLOCK, &fault, nullptr);
    raise(faultSignal);
    _exit(128 + faultSignal);
}

}  // namespace ExceptionTranslator
