// Loads the extension module from a file and finds its factory, as a host does.
#pragma once

#include <string>
#include <vector>

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

// Where the module may lie, relative to the host program's directory, in the order they are
// tried: the build tree's module directory (../../module/), the installed layout of the Linux
// packages (../lib/zeph/) and the program's own directory (the Windows ZIP).
std::vector<std::string> DefaultModuleCandidates(const std::string& hostProgram);

// The first candidate that exists, or the first one when none does (for the error message).
std::string DefaultModulePath(const std::string& hostProgram);

// The host program's own file: /proc/self/exe or GetModuleFileName, else argv[0].
std::string HostProgramPath(const char* argv0);
