#include "pcsc/pcsclite/PcScLiteLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace zeph::platform::pcsclite {
namespace {

// pcsc-lite 1.9.9 reads this variable once, in the first SCardEstablishContext of the process
// that reaches a running pcscd. Setting it before the library is loaded is early enough unless
// another part of the process established a context before (see LoadedBeforeUs).
constexpr const char* kNoBlockingVariable = "PCSCLITE_NO_BLOCKING";

template <typename Function>
bool Resolve(void* handle, const char* name, Function& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        return false;
    }
    static_assert(sizeof(Function) == sizeof(symbol), "entry points are plain pointers");
    std::memcpy(&out, &symbol, sizeof(out));
    return true;
}

std::string LastLoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown loader error";
}

}  // namespace

PcScLiteLibrary::PcScLiteLibrary(const char* fileName) {
    if (void* present = dlopen(fileName, RTLD_NOW | RTLD_NOLOAD); present != nullptr) {
        m_loadedBeforeUs = true;
        dlclose(present);
    }
    // A race with a host thread reading the environment now is accepted: the library reads the
    // variable only from the environment.
    setenv(kNoBlockingVariable, "1", 0);  // NOLINT(concurrency-mt-unsafe)
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        m_status = "pcsc-lite is not available: " + LastLoaderError();
        return;
    }
    if (!ResolveAll(handle)) {
        m_status = std::string(fileName) + " lacks an entry point: " + LastLoaderError();
        m_functions = {};
        return;
    }
    m_loaded = true;
    m_status = std::string("loaded ") + fileName;
}

PcScLiteLibrary::PcScLiteLibrary(const LiteFunctions& functions)
    : m_functions(functions), m_status("entry points given"), m_loaded(true) {}

bool PcScLiteLibrary::ResolveAll(void* handle) {
    LiteFunctions& f = m_functions;
    return Resolve(handle, "SCardEstablishContext", f.establishContext) &&
           Resolve(handle, "SCardReleaseContext", f.releaseContext) &&
           Resolve(handle, "SCardIsValidContext", f.isValidContext) &&
           Resolve(handle, "SCardCancel", f.cancel) &&
           Resolve(handle, "SCardListReaders", f.listReaders) &&
           Resolve(handle, "SCardFreeMemory", f.freeMemory) &&
           Resolve(handle, "SCardGetStatusChange", f.getStatusChange) &&
           Resolve(handle, "SCardConnect", f.connect) &&
           Resolve(handle, "SCardReconnect", f.reconnect) &&
           Resolve(handle, "SCardDisconnect", f.disconnect) &&
           Resolve(handle, "SCardStatus", f.status) &&
           Resolve(handle, "SCardTransmit", f.transmit) &&
           Resolve(handle, "SCardControl", f.control) &&
           Resolve(handle, "SCardGetAttrib", f.getAttrib) &&
           Resolve(handle, "SCardSetAttrib", f.setAttrib);
}

}  // namespace zeph::platform::pcsclite
