// A trace system library for the loader's tests. Built in several variants: complete, without
// ExpDoneTraceSystem (OMIT_DONE), without ExpInitTraceSystem (OMIT_INIT). It counts its
// initialisations and traces every level.
#ifdef _WIN32
#define EXPORT __declspec(dllexport)
#else
#define EXPORT __attribute__((visibility("default")))
#endif

static int g_initCount;

EXPORT int ExpWrite(int level, const char* category, const char* text) {
    return (void)level, (void)category, (void)text, 0;
}
EXPORT int ExpShouldTrace(int level) {
    return (void)level, 1;
}
EXPORT int ExpShouldTraceCategory(int level, const char* category) {
    return (void)level, (void)category, 1;
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
EXPORT_ANSWERING(ExpInitTraceSystem, (++g_initCount, 0))
#endif
EXPORT_ANSWERING(TestTraceSystemInitCount, g_initCount)
