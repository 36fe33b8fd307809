// The process-wide link to the trace system library, which filters and stores the trace lines.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// The library's entry points that the module calls. Levels travel as int holding the 16-bit
// trace level; category and text are zero-terminated ISO 8859-1 texts.
using ExpShouldTraceFn = bool (*)(int level);
using ExpShouldTraceCategoryFn = bool (*)(int level, const char* category);
using ExpWriteFn = int (*)(int level, const char* category, const char* text);

// The trace system library's file name; the loader looks for it in the product's directories.
#ifdef _WIN32
inline constexpr char kTraceSystemLibraryName[] = "TpUmTraceSystem001_x64.dll";
#else
inline constexpr char kTraceSystemLibraryName[] = "TpUmTraceSystem001_x64.so";
#endif

// The names a trace system library must export, in the order the loader looks them up, followed
// by ExpInitTraceSystem; the module calls only ExpWrite, ExpShouldTrace and
// ExpShouldTraceCategory, and ExpInitTraceSystem once.
inline constexpr std::array<const char*, 22> kTraceSystemExports = {"ExpWrite",
                                                                    "ExpWriteEntry",
                                                                    "ExpDump",
                                                                    "ExpDumpEntry",
                                                                    "ExpConfigureTrace",
                                                                    "ExpIsTracingEnabled",
                                                                    "ExpSetTracingEnabled",
                                                                    "ExpSetAppTracingLevel",
                                                                    "ExpGetAppTracingLevel",
                                                                    "ExpShouldTrace",
                                                                    "ExpShouldTraceCategory",
                                                                    "ExpSetLevel",
                                                                    "ExpGetLevel",
                                                                    "ExpListenerExists",
                                                                    "ExpAddListener",
                                                                    "ExpAddConsoleListener",
                                                                    "ExpAddTextfileListener",
                                                                    "ExpRemoveListenerCategory",
                                                                    "ExpRemoveListener",
                                                                    "ExpRemoveCategory",
                                                                    "ExpRemoveAllCategories",
                                                                    "ExpDoneTraceSystem"};

// Finds the trace system library: its full name in the first directory that has it, a bare name
// when the first directory is unknown and the current directory has it, or empty.
using TraceSystemFinder = std::string (*)();

struct TraceSystemEntryPoints {
    ExpShouldTraceFn shouldTrace = nullptr;
    ExpShouldTraceCategoryFn shouldTraceCategory = nullptr;
    ExpWriteFn write = nullptr;
};

// One static instance, constant-initialised so that it exists before any other static object of
// the module runs. The first query or write from any thread loads the trace system: the finder
// names the file, the library must export all 23 names of the trace system, ExpInitTraceSystem
// runs once, and only then are the entry points published. A library that is found but cannot be
// loaded or lacks a name ends the search; a failed load is final and answered from an atomic
// flag, so that threads tracing without a trace system never contend for the load lock. Once
// loaded, the entry points are read without a lock: each query costs one atomic load and one
// indirect call. The library is never unloaded and ExpDoneTraceSystem is never called.
class TraceSystemLib {
  public:
    static TraceSystemLib& Instance() noexcept { return s_instance; }

    TraceSystemLib(const TraceSystemLib&) = delete;
    TraceSystemLib& operator=(const TraceSystemLib&) = delete;
    ~TraceSystemLib();

    // Makes sure the trace system is loaded; true when it is. A call from inside the load (the
    // finder traces through the directory library) answers false.
    bool Load();

    // How the library file is found; set at process attach. Without a finder nothing is found.
    void SetFinder(TraceSystemFinder finder) noexcept {
        m_finder.store(finder, std::memory_order_release);
    }

    bool ShouldTrace(uint16_t level) {
        const ExpShouldTraceFn fn = m_expShouldTrace.load(std::memory_order_acquire);
        return fn != nullptr ? fn(level) : ShouldTraceAfterLoad(level);
    }

    // False for a null or empty category.
    bool ShouldTraceCategory(uint16_t level, const char* category) {
        if (category == nullptr || *category == '\0') {
            return false;
        }
        const ExpShouldTraceCategoryFn fn =
            m_expShouldTraceCategory.load(std::memory_order_acquire);
        return fn != nullptr ? fn(level, category) : ShouldTraceCategoryAfterLoad(level, category);
    }

    // Drops the line for a null or empty category or a null text.
    void Write(uint16_t level, const char* category, const char* text) {
        if (category == nullptr || *category == '\0' || text == nullptr) {
            return;
        }
        if (const ExpWriteFn fn = m_expWrite.load(std::memory_order_acquire)) {
            fn(level, category, text);
        } else {
            WriteAfterLoad(level, category, text);
        }
    }

    // Publishes the entry points as a successful load would. Tests only.
    void InstallForTesting(const TraceSystemEntryPoints& entryPoints);
    // Back to the state after static initialisation: not loaded, no load attempted. Tests only.
    void ResetForTesting();

  private:
    constexpr TraceSystemLib() noexcept = default;

    bool ShouldTraceAfterLoad(uint16_t level);
    bool ShouldTraceCategoryAfterLoad(uint16_t level, const char* category);
    void WriteAfterLoad(uint16_t level, const char* category, const char* text);
    bool LoadTraceSystemLocked();
    void Publish(const TraceSystemEntryPoints& entryPoints) noexcept;

    static TraceSystemLib s_instance;

    std::atomic<bool> m_constructed{true};  // cleared by the destructor at process exit
    std::atomic<TraceSystemFinder> m_finder{nullptr};
    void* m_library = nullptr;              // guarded by the load lock; never unloaded
    bool m_loaded = false;                  // guarded by the load lock
    bool m_loadAttempted = false;           // guarded by the load lock
    std::atomic<bool> m_loadFailed{false};  // set once under the load lock when the load failed
    std::atomic<ExpShouldTraceFn> m_expShouldTrace{nullptr};
    std::atomic<ExpShouldTraceCategoryFn> m_expShouldTraceCategory{nullptr};
    std::atomic<ExpWriteFn> m_expWrite{nullptr};
};
