#include "directories/ConfigDbContext.h"

#include "directories/Init.h"

namespace configdb {

void ConfigDbContext::EnsureInitialized() {
    // Init marks the context initialised before its one-time path dump, whose queries come back
    // here on the same thread: they must not wait for the Init that runs them.
    if (IsInitialized()) {
        return;
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
