// The wait for a usable reader and card.
#include "extension/ExtensionTrace.h"
#include "extension/ZephExtensionPcSc.h"

uint32_t CZephExtensionPcSc::IsPresent(const ZephWChar* /*manualReader*/, uint8_t* /*atr*/,
                                       uint64_t* /*atrLength*/, uint32_t* /*protocol*/) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::IsPresent";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_INVALID_DEVICE_STATE;
    RunGuarded(kName, [&] {
        if (!Helper_SCardGetContext()) {
            return;
        }
    });
    return status;
}
