// The process-wide state of the directory library and the services it runs on. The public CDB_
// operations work on the one context of the process (ProcessConfigDb); tests build contexts of
// their own over a DirectoryEnvironment of theirs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "directories/ConfigDB.h"
#include "directories/DirectoryEnvironment.h"
#include "directories/NamedMutex.h"

namespace configdb {

// The library's switches and files, read from the registry by Init.
struct ConfigDbSettings {
    std::string internTraceFile;
    bool onceDumpOn = false;
    std::string onceDumpFile;
    bool perQueryDumpOn = false;
    std::string perQueryDumpFile;
    bool alternativeLogDirOn = false;
    std::string alternativeLogDir;
};

class ConfigDbContext {
  public:
    explicit ConfigDbContext(DirectoryEnvironment& environment) : m_environment(environment) {}
    ConfigDbContext(const ConfigDbContext&) = delete;
    ConfigDbContext& operator=(const ConfigDbContext&) = delete;

    DirectoryEnvironment& Environment() { return m_environment; }

    // Runs Init once; a second caller waits until the first has finished it.
    void EnsureInitialized();
    bool IsInitialized() const { return m_initialized.load(std::memory_order_acquire); }

    const ConfigDbSettings& Settings() const { return m_settings; }
    // The internal trace is on and its file known; set by Init once the file is.
    bool InternTraceActive() const { return m_internTraceActive.load(std::memory_order_acquire); }

    TracerCallback Tracer() const { return m_tracer.load(std::memory_order_acquire); }
    TracerCallback ExchangeTracer(TracerCallback tracer) { return m_tracer.exchange(tracer); }

    // Null until Init has created it; lines written before then carry the failed-wait prefix.
    NamedMutex* TraceMutex() const { return m_traceMutexView.load(std::memory_order_acquire); }

    // The cached full file names of this module and of the host executable (empty until known).
    std::string CachedModuleFileName(bool thisModule) const;
    void CacheModuleFileName(bool thisModule, const std::string& fileName);

    // The OS version code, 0 until a non-zero one has been found.
    std::atomic<int32_t>& OsVersionCache() { return m_osVersionCode; }

  private:
    friend void Init(ConfigDbContext& context);

    DirectoryEnvironment& m_environment;
    std::once_flag m_initOnce;
    std::atomic<bool> m_initialized{false};
    ConfigDbSettings m_settings;
    std::atomic<bool> m_internTraceActive{false};
    std::unique_ptr<NamedMutex> m_traceMutex;
    // Read by writers on any thread while Init may still be creating the mutex.
    std::atomic<NamedMutex*> m_traceMutexView{nullptr};
    std::unique_ptr<NamedMutex> m_userNameMutex;
    std::atomic<TracerCallback> m_tracer{nullptr};
    mutable std::mutex m_cacheLock;
    std::string m_moduleFileName;
    std::string m_executableFileName;
    std::atomic<int32_t> m_osVersionCode{0};
};

// The context of this process, over the platform's services.
ConfigDbContext& ProcessConfigDb();

}  // namespace configdb
