// Loads the extension module from a file and finds its factory, as a host does.
#pragma once

#include <string>

#include "zeph/ZephExtensionAbi.h"

class ModuleLoader {
  public:
    explicit ModuleLoader(const std::string& path);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // The factory, or null when the library or its export could not be found (see Error()).
    ZephGetNewInstanceFn Factory() const { return m_factory; }
    const std::string& Error() const { return m_error; }

  private:
    void* m_module = nullptr;
    ZephGetNewInstanceFn m_factory = nullptr;
    std::string m_error;
};

// The module file that the build puts beside the host's build directory.
std::string DefaultModulePath(const char* hostProgram);
