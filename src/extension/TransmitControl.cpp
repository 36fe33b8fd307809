// APDU exchange and reader control codes on the connected card.
#include "extension/ExtensionTrace.h"
#include "extension/ZephExtensionPcSc.h"

uint32_t CZephExtensionPcSc::Transmit(const ZephSendHeader* sendHeader, const uint8_t* send,
                                      uint64_t /*sendLength*/, uint8_t* receive,
                                      uint64_t* receiveLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Transmit";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        if (m_hCard == 0 || sendHeader == nullptr || send == nullptr || receive == nullptr ||
            receiveLength == nullptr) {
            return;
        }
    });
    return status;
}

uint32_t CZephExtensionPcSc::Control(uint32_t /*code*/, const uint8_t* /*input*/,
                                     uint64_t /*inputLength*/, uint8_t* /*output*/,
                                     uint64_t* /*outputLength*/) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Control";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NOT_SUPPORTED;
    RunGuarded(kName, [&] {
        if (m_hCard == 0) {
            return;
        }
    });
    return status;
}
