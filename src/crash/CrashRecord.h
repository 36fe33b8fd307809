// What the crash procedure knows of a fault: on Windows the exception pointers (exception record
// and processor context); on Linux the signal, its information and the interrupted context.
#pragma once

#ifdef _WIN32
#include <windows.h>

using CrashRecord = EXCEPTION_POINTERS;
#else
#include <signal.h>
#include <sys/types.h>
#include <ucontext.h>

struct CrashRecord {
    int signal = 0;
    const siginfo_t* info = nullptr;
    const ucontext_t* context = nullptr;
    pid_t thread = 0;  // the faulting thread's id
};
#endif
