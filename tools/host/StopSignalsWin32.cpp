#include <windows.h>

#include <mutex>

#include "StopSignals.h"

namespace {

// The console calls its control handler on a thread it creates, with no context argument: the
// handler of the living StopSignals object is kept here.
std::mutex g_mutex;
std::function<void(const char*)> g_handler;

const char* EventName(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return "Ctrl-C";
        case CTRL_BREAK_EVENT:
            return "Ctrl-Break";
        case CTRL_CLOSE_EVENT:
            return "console closed";
        default:
            return nullptr;
    }
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    const char* name = EventName(event);
    if (name == nullptr) {
        return FALSE;  // logoff and shutdown go to the default handling
    }
    std::lock_guard lock(g_mutex);
    if (!g_handler) {
        return FALSE;
    }
    g_handler(name);
    return TRUE;
}

}  // namespace

struct StopSignals::State {};

StopSignals::StopSignals(std::function<void(const char*)> handler)
    : m_state(std::make_unique<State>()) {
    {
        std::lock_guard lock(g_mutex);
        g_handler = std::move(handler);
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    // A handler call that started before the removal finishes before this returns.
    std::lock_guard lock(g_mutex);
    g_handler = nullptr;
}
