// Power actions and protocol selection on the connected card.
#include "extension/ExtensionTrace.h"
#include "extension/LogNames.h"
#include "extension/ZephExtensionPcSc.h"

uint32_t CZephExtensionPcSc::SetProtocol(uint32_t /*requested*/, uint32_t* active) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::SetProtocol";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        if (m_hCard == 0) {
            if (active != nullptr) {
                *active = m_dwActiveProtocol;
            }
            return;
        }
    });
    return status;
}

uint32_t CZephExtensionPcSc::Power(uint32_t action, uint8_t* /*atr*/, uint32_t* /*atrLength*/) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Power";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Attribut %s soll geschrieben werden...", kName,
                        PowerActionName(action));
        if (m_hCard == 0) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::NO Media", kName);
            status = ZEPH_STATUS_SUCCESS;
            return;
        }
    });
    return status;
}
