// pcsc-lite's client library, loaded at run time. On a machine without it the module still loads
// and the backend answers SCARD_E_NO_SERVICE; Status() says why.
#pragma once

#include <string>

#include "pcsc/pcsclite/PcScLiteAbi.h"

namespace zeph::platform::pcsclite {

class PcScLiteLibrary {
  public:
    static constexpr const char* kDefaultFileName = "libpcsclite.so.1";

    // Loads the library and resolves every entry point the backend calls. Before loading it sets
    // PCSCLITE_NO_BLOCKING (unless the environment has it already): pcsc-lite then answers a
    // sharing conflict at once, as WinSCard does, instead of retrying every 100 ms.
    explicit PcScLiteLibrary(const char* fileName = kDefaultFileName);
    // A library whose entry points are given instead of loaded, for measuring the backend's own
    // cost without pcscd.
    explicit PcScLiteLibrary(const LiteFunctions& functions);
    // The library stays loaded: pcsc-lite keeps process-wide state that it never frees.
    ~PcScLiteLibrary() = default;
    PcScLiteLibrary(const PcScLiteLibrary&) = delete;
    PcScLiteLibrary& operator=(const PcScLiteLibrary&) = delete;

    bool Loaded() const { return m_loaded; }
    // What happened when loading: the file that was loaded, or why it could not be.
    const std::string& Status() const { return m_status; }
    // True when another part of the process had loaded pcsc-lite before us: it may have read the
    // environment already, and then sharing conflicts still wait.
    bool LoadedBeforeUs() const { return m_loadedBeforeUs; }
    // Valid only when Loaded().
    const LiteFunctions& Functions() const { return m_functions; }

  private:
    bool ResolveAll(void* handle);

    LiteFunctions m_functions{};
    std::string m_status;
    bool m_loaded = false;
    bool m_loadedBeforeUs = false;
};

}  // namespace zeph::platform::pcsclite
