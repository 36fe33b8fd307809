// Tells from outside a thread that it sleeps in the kernel on input (poll, select, a read...),
// as a thread blocked in a PC/SC wait does, rather than running or waiting for a lock or a
// timer. Linux only: reads /proc/self/task/TID.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace hostrealstack {

// The calling thread's id as /proc names it.
pid_t CurrentThreadId();

// True while the thread sleeps in a system call other than a futex wait or a sleep.
bool SleepsOnInput(pid_t thread);

// Polls SleepsOnInput until it holds on several reads in a row; false at the deadline. The
// repeated reads step over the short reads and writes a call makes on its way to its wait.
bool WaitUntilSleepsOnInput(pid_t thread, std::chrono::milliseconds timeout);

}  // namespace hostrealstack
