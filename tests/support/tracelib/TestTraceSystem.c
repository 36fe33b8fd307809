// A trace system library for the loader's tests. Built in several variants: complete, without
// ExpDoneTraceSystem (OMIT_DONE), without ExpInitTraceSystem (OMIT_INIT). It counts its
// initialisations and the calls that came before one had finished, and traces every level.
#ifdef _WIN32
#include <windows.h>
#define EXPORT __declspec(dllexport)
#define PAUSE_MS(ms) Sleep(ms)
#else
#include <time.h>
#define EXPORT __attribute__((visibility("default")))
#define PAUSE_MS(ms) nanosleep(&(struct timespec){0, (ms)*1000000L}, NULL)
#endif

#define COUNT(counter) __atomic_fetch_add(&(counter), 1, __ATOMIC_SEQ_CST)
#define READ(counter) __atomic_load_n(&(counter), __ATOMIC_SEQ_CST)

// Counters shared by the threads that trace through the library.
static int g_initCount, g_initialised, g_earlyCalls, g_lines;

// Each call of an entry point; one before an initialisation has finished is early.
static int Called(void) {
    return READ(g_initialised) ? 1 : (COUNT(g_earlyCalls), 1);
}

EXPORT int ExpWrite(int level, const char* category, const char* text) {
    (void)level, (void)category, (void)text;
    COUNT(g_lines);
    return Called() - 1;
}
EXPORT int ExpShouldTrace(int level) {
    (void)level;
    return Called();
}
EXPORT int ExpShouldTraceCategory(int level, const char* category) {
    (void)level, (void)category;
    return Called();
}

// An entry point without parameters that answers with the value.
#define EXPORT_ANSWERING(name, value) \
    EXPORT int name(void) {           \
        return value;                 \
    }
#define UNUSED_EXPORT(name) EXPORT_ANSWERING(name, 0)
#define UNUSED_EXPORTS(a, b, c, d, e, f) \
    UNUSED_EXPORT(a)                     \
    UNUSED_EXPORT(b) UNUSED_EXPORT(c) UNUSED_EXPORT(d) UNUSED_EXPORT(e) UNUSED_EXPORT(f)
UNUSED_EXPORTS(ExpWriteEntry, ExpDump, ExpDumpEntry, ExpConfigureTrace, ExpIsTracingEnabled,
               ExpSetTracingEnabled)
UNUSED_EXPORTS(ExpSetAppTracingLevel, ExpGetAppTracingLevel, ExpSetLevel, ExpGetLevel,
               ExpListenerExists, ExpAddListener)
UNUSED_EXPORTS(ExpAddConsoleListener, ExpAddTextfileListener, ExpRemoveListenerCategory,
               ExpRemoveListener, ExpRemoveCategory, ExpRemoveAllCategories)
#ifndef OMIT_DONE
UNUSED_EXPORT(ExpDoneTraceSystem)
#endif

#ifndef OMIT_INIT
// Slow on purpose: a caller that did not wait for it shows up as an early call.
EXPORT int ExpInitTraceSystem(void) {
    COUNT(g_initCount);
    PAUSE_MS(50);
    __atomic_store_n(&g_initialised, 1, __ATOMIC_SEQ_CST);
    return 0;
}
#endif

EXPORT_ANSWERING(TestTraceSystemInitCount, READ(g_initCount))
EXPORT_ANSWERING(TestTraceSystemEarlyCalls, READ(g_earlyCalls))
EXPORT_ANSWERING(TestTraceSystemLines, READ(g_lines))
