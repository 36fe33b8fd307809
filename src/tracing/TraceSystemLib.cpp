#include "tracing/TraceSystemLib.h"

#include <array>
#include <mutex>

#include "tracing/DynamicLibrary.h"

namespace {

// Serialises loading. Recursive, because finding the library traces through the directory library
// and so comes back here on the same thread (and is answered false). Never destroyed, so that a
// trace call from another static object's destructor at process exit still finds a valid lock.
std::recursive_mutex& LoadLock() {
    static std::recursive_mutex* const lock = new std::recursive_mutex;
    return *lock;
}

using ExpInitTraceSystemFn = int (*)();

// The answers without a trace system, published after a failed load: a query then costs what a
// query of a loaded library costs, one atomic load and one indirect call, and takes no lock.
bool NothingTraced(int) {
    return false;
}
bool NoCategoryTraced(int, const char*) {
    return false;
}
int LineDropped(int, const char*, const char*) {
    return 0;
}

// Exports are object addresses to the loader; the trace system's are functions.
template <typename Function>
Function AsFunction(void* address) {
    return reinterpret_cast<Function>(address);
}

}  // namespace

constinit TraceSystemLib TraceSystemLib::s_instance;

TraceSystemLib::~TraceSystemLib() {
    m_constructed.store(false, std::memory_order_release);
    Publish({});  // late calls take the slow path, which sees that the object is gone
}

bool TraceSystemLib::Load() {
    if (!m_constructed.load(std::memory_order_acquire) ||
        m_loadFailed.load(std::memory_order_acquire)) {
        return false;  // a failed load is final: no need to queue for the lock
    }
    const std::lock_guard<std::recursive_mutex> guard(LoadLock());
    if (m_loaded) {
        return true;
    }
    if (m_loadAttempted) {
        return false;  // a failed load is final for the life of the process
    }
    m_loadAttempted = true;
    m_loaded = LoadTraceSystemLocked();
    m_loadFailed.store(!m_loaded, std::memory_order_release);
    if (!m_loaded) {
        Publish({&NothingTraced, &NoCategoryTraced, &LineDropped});
    }
    return m_loaded;
}

bool TraceSystemLib::LoadTraceSystemLocked() {
    const TraceSystemFinder finder = m_finder.load(std::memory_order_acquire);
    const std::string path = finder != nullptr ? finder() : std::string();
    if (path.empty()) {
        return false;
    }
    void* const library = zeph::trace::LoadDynamicLibrary(path);
    std::array<void*, kTraceSystemExports.size()> exports{};
    for (size_t i = 0; i < exports.size(); ++i) {
        exports[i] = zeph::trace::FindExport(library, kTraceSystemExports[i]);
        if (exports[i] == nullptr) {
            return false;  // a loaded library stays loaded: it may have started threads
        }
    }
    void* const init = zeph::trace::FindExport(library, "ExpInitTraceSystem");
    if (init == nullptr) {
        return false;
    }
    AsFunction<ExpInitTraceSystemFn>(init)();
    m_library = library;
    // Published only now: readers call the entry points without the lock.
    Publish({AsFunction<ExpShouldTraceFn>(exports[9]),
             AsFunction<ExpShouldTraceCategoryFn>(exports[10]),
             AsFunction<ExpWriteFn>(exports[0])});
    return true;
}

bool TraceSystemLib::ShouldTraceAfterLoad(uint16_t level) {
    if (!Load()) {
        return false;
    }
    const ExpShouldTraceFn fn = m_expShouldTrace.load(std::memory_order_acquire);
    return fn != nullptr && fn(level);
}

bool TraceSystemLib::ShouldTraceCategoryAfterLoad(uint16_t level, const char* category) {
    if (!Load()) {
        return false;
    }
    const ExpShouldTraceCategoryFn fn = m_expShouldTraceCategory.load(std::memory_order_acquire);
    return fn != nullptr && fn(level, category);
}

void TraceSystemLib::WriteAfterLoad(uint16_t level, const char* category, const char* text) {
    if (!Load()) {
        return;
    }
    if (const ExpWriteFn fn = m_expWrite.load(std::memory_order_acquire)) {
        fn(level, category, text);
    }
}

void TraceSystemLib::InstallForTesting(const TraceSystemEntryPoints& entryPoints) {
    const std::lock_guard<std::recursive_mutex> guard(LoadLock());
    Publish(entryPoints);
    m_loadAttempted = true;
    m_loaded = true;
    m_loadFailed.store(false, std::memory_order_release);
}

void TraceSystemLib::ResetForTesting() {
    const std::lock_guard<std::recursive_mutex> guard(LoadLock());
    Publish({});
    m_library = nullptr;
    m_loadAttempted = false;
    m_loaded = false;
    m_loadFailed.store(false, std::memory_order_release);
}

void TraceSystemLib::Publish(const TraceSystemEntryPoints& entryPoints) noexcept {
    m_expWrite.store(entryPoints.write, std::memory_order_release);
    m_expShouldTraceCategory.store(entryPoints.shouldTraceCategory, std::memory_order_release);
    m_expShouldTrace.store(entryPoints.shouldTrace, std::memory_order_release);
}
