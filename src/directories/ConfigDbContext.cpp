#include "directories/ConfigDbContext.h"

#include "directories/Init.h"
#include "tracing/TraceSystemLib.h"

namespace configdb {

void ConfigDbContext::EnsureInitialized() {
    // Init marks the context initialised before its one-time path dump, whose queries come back
    // here on the same thread: they must not wait for the Init that runs them.
    if (IsInitialized()) {
        return;
    }
    // Init traces, itself and through the registry, and the first trace line of the process
    // loads the trace system, whose search asks this process's context for the program directory.
    // The load is attempted first, outside the once-flag: the two are then always taken in one
    // order, the trace system's load lock before the once-flag, on one thread or on several.
    if (this == &ProcessConfigDb()) {
        TraceSystemLib::Instance().Load();
    }
    std::call_once(m_initOnce, [this] { Init(*this); });
}

std::string ConfigDbContext::CachedModuleFileName(bool thisModule) const {
    const std::lock_guard<std::mutex> guard(m_cacheLock);
    return thisModule ? m_moduleFileName : m_executableFileName;
}

void ConfigDbContext::CacheModuleFileName(bool thisModule, const std::string& fileName) {
    const std::lock_guard<std::mutex> guard(m_cacheLock);
    (thisModule ? m_moduleFileName : m_executableFileName) = fileName;
}

ConfigDbContext& ProcessConfigDb() {
    // Never destroyed: the library serves static objects' destructors at process exit as well.
    static ConfigDbContext* const context = new ConfigDbContext(PlatformDirectoryEnvironment());
    return *context;
}

}  // namespace configdb
