// What the real-stack tests and benchmarks poll (WaitUntil.h) to tell from outside a thread that it
// is blocked in a pcsc-lite status-change wait (SCardGetStatusChange), as IsPresent and IsAbsent
// are while they wait for a card, rather than running, waiting for a lock, or waiting for pcscd's
// answer to a request. A test must know this before it causes the event the wait is for: an event
// or a Cancel that comes earlier takes another path through the module.
//
// pcsc-lite (1.9) waits for a status change in poll() with a finite timeout, slice after slice;
// it waits for the answer to a request in poll() without a timeout. Linux only: reads /proc.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>

#include "WaitUntil.h"

namespace realstack {

// The calling thread's id as /proc names it.
pid_t CurrentThreadId();

// True once the thread (of this process) sleeps in poll() or ppoll() with a timeout on several
// reads in a row; false at the deadline.
bool WaitUntilInStatusChangeWait(pid_t thread, std::chrono::milliseconds timeout);

// The scheduler state letter of a /proc stat file ('S': sleeping): the field after the command
// name in parentheses, which may itself hold spaces and parentheses.
char SchedulerState(const std::filesystem::path& statFile);

}  // namespace realstack
