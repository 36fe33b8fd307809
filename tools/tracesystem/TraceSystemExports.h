// The 23 entry points of the trace system library "TpUmTraceSystem001_x64" (.so on Linux, .dll on
// Windows), as this stand-in offers them. The module calls ExpInitTraceSystem once, then only
// ExpShouldTrace, ExpShouldTraceCategory and ExpWrite; the other names must exist and do what is
// written here.
//
// Levels are bit masks of the 16-bit trace levels: 1 exception, 2 error, 4 warning, 8 detail,
// 16 info. A line passes when its level shares a bit with the level mask and its category is on
// the category list (an empty list lets every category pass). Texts and categories are
// zero-terminated ISO 8859-1; the output is UTF-8. Every function may be called from any thread.
#pragma once

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Reads the configuration from the environment: ZEPH_TRACE_LEVELS, ZEPH_TRACE_CATEGORIES,
// ZEPH_TRACE_OUTPUT, ZEPH_TRACE_PREFIX (README.md, "The trace system stand-in"). A second call
// starts over with the environment as it is then. 0 when every setting was understood, -1
// otherwise (a note on stderr names the setting, which keeps its default).
int ExpInitTraceSystem(void);
// Flushes and closes the output; nothing is traced until the next ExpInitTraceSystem. 0.
int ExpDoneTraceSystem(void);

// Writes one line when level and category pass. 1 when written, 0 when filtered out or not written.
int ExpWrite(int level, const char* category, const char* text);
// ExpWrite with `entry` (e.g. a method name) and ": " before the text.
int ExpWriteEntry(int level, const char* category, const char* entry, const char* text);
// One line with the text, then the bytes as hexadecimal, 16 to a line.
int ExpDump(int level, const char* category, const char* text, const void* bytes, int length);
// ExpDump with `entry` and ": " before the text.
int ExpDumpEntry(int level, const char* category, const char* entry, const char* text,
                 const void* bytes, int length);

// Sets levels, categories and output as the environment variables would (null keeps a setting).
// 0 when all were understood, -1 otherwise.
int ExpConfigureTrace(const char* levels, const char* categories, const char* output);

// Tracing as a whole: on after ExpInitTraceSystem; off lets nothing pass.
bool ExpIsTracingEnabled(void);
void ExpSetTracingEnabled(bool enabled);
// The application's own level: a second mask that a line must share a bit with too
// (0xFFFF after ExpInitTraceSystem, so that the level mask alone decides).
void ExpSetAppTracingLevel(int mask);
int ExpGetAppTracingLevel(void);

bool ExpShouldTrace(int level);
bool ExpShouldTraceCategory(int level, const char* category);
// The level mask.
void ExpSetLevel(int mask);
int ExpGetLevel(void);

// Listeners are outputs; the stand-in has one at a time, named "console", "stdout" or the file's
// path. Adding one replaces the one before.
bool ExpListenerExists(const char* name);
// "stderr", "stdout" or a file path. 0 when the output is open, -1 otherwise.
int ExpAddListener(const char* name);
int ExpAddConsoleListener(void);
int ExpAddTextfileListener(const char* path);
// Removes the category from the list when `name` is the current output. 0.
int ExpRemoveListenerCategory(const char* name, const char* category);
// Closes the output when `name` is the current one; lines are dropped until another is added. 0.
int ExpRemoveListener(const char* name);

// The category list: removing the last one lets every category pass again. 0.
int ExpRemoveCategory(const char* category);
int ExpRemoveAllCategories(void);

#ifdef __cplusplus
}
#endif
