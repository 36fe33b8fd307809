#include "ModuleLoader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>
#include <system_error>

namespace {

#ifdef _WIN32
constexpr const char* kModuleFile = "ZEPH_Ext_PcSc.dll";
constexpr char kSeparator = '\\';
#else
constexpr const char* kModuleFile = "ZEPH_Ext_PcSc.so";
constexpr char kSeparator = '/';
#endif

template <typename Fn, typename Symbol>
Fn CastSymbol(Symbol symbol) {
    // The platform returns an untyped symbol address; the export's type is fixed by the ABI.
    Fn function = nullptr;
    static_assert(sizeof(function) == sizeof(symbol));
    __builtin_memcpy(&function, &symbol, sizeof(function));
    return function;
}

}  // namespace

ModuleLoader::ModuleLoader(const std::string& path) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    m_module = module;
    if (module == nullptr) {
        m_error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return;
    }
    m_factory = CastSymbol<ZephGetNewInstanceFn>(GetProcAddress(module, ZEPH_EXT_FACTORY_NAME));
#else
    // Resident until the process ends, as in a host that loads the module once: the module's
    // process-wide parts (its PC/SC backend, the trace lock) are never freed, and unmapping the
    // module at dlclose would only make them unreachable.
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (m_module == nullptr) {
        m_error = dlerror();
        return;
    }
    m_factory = CastSymbol<ZephGetNewInstanceFn>(dlsym(m_module, ZEPH_EXT_FACTORY_NAME));
#endif
    if (m_factory == nullptr) {
        m_error = std::string("the module does not export ") + ZEPH_EXT_FACTORY_NAME;
    }
}

ModuleLoader::~ModuleLoader() {
    if (m_module == nullptr) {
        return;
    }
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(m_module));
#else
    dlclose(m_module);
#endif
}

std::vector<std::string> DefaultModuleCandidates(const std::string& hostProgram) {
    const size_t slash = hostProgram.find_last_of("/\\");
    const std::string directory =
        (slash == std::string::npos ? std::string(".") : hostProgram.substr(0, slash)) + kSeparator;
    const std::string up = std::string("..") + kSeparator;
    return {directory + up + up + "module" + kSeparator + kModuleFile,
            directory + up + "lib" + kSeparator + "zeph" + kSeparator + kModuleFile,
            directory + kModuleFile};
}

std::string DefaultModulePath(const std::string& hostProgram) {
    const std::vector<std::string> candidates = DefaultModuleCandidates(hostProgram);
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return candidates.front();
}

std::string HostProgramPath(const char* argv0) {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return std::string(path, length);
    }
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty()) {
        return self.string();
    }
#endif
    return argv0 != nullptr ? argv0 : "";
}
