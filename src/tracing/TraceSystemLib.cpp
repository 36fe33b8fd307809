#include "tracing/TraceSystemLib.h"

#include <mutex>

namespace {

// Serialises loading. Never destroyed, so that a trace call from another static object's
// destructor at process exit still finds a valid lock.
std::mutex& LoadLock() {
    static std::mutex* const lock = new std::mutex;
    return *lock;
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
    const std::lock_guard<std::mutex> guard(LoadLock());
    if (m_loaded) {
        return true;
    }
    if (m_loadAttempted) {
        return false;  // a failed load is final for the life of the process
    }
    m_loadAttempted = true;
    m_loaded = LoadTraceSystemLocked();
    m_loadFailed.store(!m_loaded, std::memory_order_release);
    return m_loaded;
}

// The library loader (search path, entry-point lookup, initialisation) goes here; it publishes
// the entry points it found before returning true. Until then no trace system is available.
bool TraceSystemLib::LoadTraceSystemLocked() {
    return false;
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
    const std::lock_guard<std::mutex> guard(LoadLock());
    Publish(entryPoints);
    m_loadAttempted = true;
    m_loaded = true;
    m_loadFailed.store(false, std::memory_order_release);
}

void TraceSystemLib::ResetForTesting() {
    const std::lock_guard<std::mutex> guard(LoadLock());
    Publish({});
    m_loadAttempted = false;
    m_loaded = false;
    m_loadFailed.store(false, std::memory_order_release);
}

void TraceSystemLib::Publish(const TraceSystemEntryPoints& entryPoints) noexcept {
    m_expWrite.store(entryPoints.write, std::memory_order_release);
    m_expShouldTraceCategory.store(entryPoints.shouldTraceCategory, std::memory_order_release);
    m_expShouldTrace.store(entryPoints.shouldTrace, std::memory_order_release);
}
