// Card state, the wait for the card's removal, and cancellation of every wait.
#include "extension/ExtensionTrace.h"
#include "extension/ZephExtensionPcSc.h"

namespace {
constexpr uint32_t kScardAbsent = 1;
}

uint32_t CZephExtensionPcSc::IsAbsent() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::IsAbsent";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_SUCCESS;
    RunGuarded(kName, [&] {
        if (m_hCard == 0) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::Karte/Leser wurde mittlerweile entfernt", kName);
            return;
        }
    });
    return status;
}

uint32_t CZephExtensionPcSc::GetState(uint32_t* state, uint32_t* protocol) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::GetState";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_SUCCESS;
    RunGuarded(kName, [&] {
        std::lock_guard<std::recursive_mutex> access(m_csWinScardAccess);
        if (m_hCard == 0) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Es ist keine Karte gesteckt!",
                            kName);
            if (state != nullptr) {
                *state = kScardAbsent;
            }
            if (protocol != nullptr) {
                *protocol = 0;
            }
        }
    });
    return status;
}

void CZephExtensionPcSc::Cancel() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Cancel";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    RunGuarded(kName, [&] {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Event für <Cancel> wird signalisiert", kName);
        m_hCancelEvent.Set();
    });
}
