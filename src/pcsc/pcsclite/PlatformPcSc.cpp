#include "pcsc/PlatformPcSc.h"

#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

// pcsc-lite is loaded on first use. The backend lives until the process ends and is never
// destroyed: at exit other threads may still be inside it.
PcScApi& PlatformPcSc() {
    static auto* const library = new zeph::platform::pcsclite::PcScLiteLibrary();
    static auto* const backend = new zeph::platform::pcsclite::PcScLiteBackend(*library);
    return *backend;
}
