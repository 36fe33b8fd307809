/* A trace system library for the loader's tests. Built in several variants: complete, without
 * ExpDoneTraceSystem (OMIT_DONE), without ExpInitTraceSystem (OMIT_INIT). It counts its
 * initialisations and the calls that came before one had finished, and traces every level. */
#ifdef _WIN32
#include <windows.h>
#define EXPORT __declspec(dllexport)
#define PAUSE_MS(ms) Sleep(ms)
#else
#include <time.h>
#define EXPORT __attribute__((visibility("default")))
#define PAUSE_MS(ms) nanosleep(&(struct timespec){0, (ms) * 1000000L}, NULL)
#endif

/* Counters shared by the threads that trace through the library. */
static int g_initCount;
static int g_initialised;
static int g_earlyCalls;
static int g_lines;

static void Count(int* counter) {
    __atomic_fetch_add(counter, 1, __ATOMIC_SEQ_CST);
}

static int Read(const int* counter) {
    return __atomic_load_n(counter, __ATOMIC_SEQ_CST);
}

static void Check(void) {
    if (!Read(&g_initialised)) {
        Count(&g_earlyCalls);
    }
}

EXPORT int ExpWrite(int level, const char* category, const char* text) {
    (void)level;
    (void)category;
    (void)text;
    Check();
    Count(&g_lines);
    return 0;
}
EXPORT int ExpShouldTrace(int level) {
    (void)level;
    Check();
    return 1;
}
EXPORT int ExpShouldTraceCategory(int level, const char* category) {
    (void)level;
    (void)category;
    Check();
    return 1;
}

#define UNUSED_EXPORT(name) \
    EXPORT int name(void) { return 0; }
UNUSED_EXPORT(ExpWriteEntry)
UNUSED_EXPORT(ExpDump)
UNUSED_EXPORT(ExpDumpEntry)
UNUSED_EXPORT(ExpConfigureTrace)
UNUSED_EXPORT(ExpIsTracingEnabled)
UNUSED_EXPORT(ExpSetTracingEnabled)
UNUSED_EXPORT(ExpSetAppTracingLevel)
UNUSED_EXPORT(ExpGetAppTracingLevel)
UNUSED_EXPORT(ExpSetLevel)
UNUSED_EXPORT(ExpGetLevel)
UNUSED_EXPORT(ExpListenerExists)
UNUSED_EXPORT(ExpAddListener)
UNUSED_EXPORT(ExpAddConsoleListener)
UNUSED_EXPORT(ExpAddTextfileListener)
UNUSED_EXPORT(ExpRemoveListenerCategory)
UNUSED_EXPORT(ExpRemoveListener)
UNUSED_EXPORT(ExpRemoveCategory)
UNUSED_EXPORT(ExpRemoveAllCategories)
#ifndef OMIT_DONE
UNUSED_EXPORT(ExpDoneTraceSystem)
#endif

#ifndef OMIT_INIT
/* Slow on purpose: a caller that did not wait for it shows up as an early call. */
EXPORT int ExpInitTraceSystem(void) {
    Count(&g_initCount);
    PAUSE_MS(50);
    __atomic_store_n(&g_initialised, 1, __ATOMIC_SEQ_CST);
    return 0;
}
#endif

EXPORT int TestTraceSystemInitCount(void) {
    return Read(&g_initCount);
}
EXPORT int TestTraceSystemEarlyCalls(void) {
    return Read(&g_earlyCalls);
}
EXPORT int TestTraceSystemLines(void) {
    return Read(&g_lines);
}
