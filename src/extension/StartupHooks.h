// Start-up work that belongs to the libraries around the extension: the card identification
// helpers, the directory library and the crash handler (its per-thread part is
// crash/ThreadCrashHandlers.h). Each hook is the one place the extension
// calls into that library at start-up; the libraries fill them in as they arrive.
#pragma once

// Process attach: tells the trace system loader where to look for the trace system library,
// hands the directory library's diagnostics to the extension's trace sink and gives the crash
// handler the extension's component name.
void OnProcessAttach() noexcept;

// The factory's preparation of the calling thread: the card identification helpers'
// initialisation (which also installs the crash handlers for the thread).
void InitializeCardIdentification() noexcept;
