// Power actions and protocol selection on the connected card. Only T=1 is offered.
#include "extension/ExtensionTrace.h"
#include "extension/HostLength.h"
#include "pcsc/LogNames.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

uint32_t CZephExtensionPcSc::SetProtocol(uint32_t requested, uint32_t* active) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::SetProtocol";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        if (m_hCard.load() != 0) {
            const std::u16string name = ProtocolName(requested);
            if ((requested & SCARD_PROTOCOL_T1) == 0) {
                TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                                u"%s::Gewünschtes Protokoll %s wird NICHT unterstützt!", kName,
                                name);
                status = ZEPH_STATUS_NOT_SUPPORTED;
            } else {
                TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                                u"%s::Protokoll %s soll gesetzt werden", kName, name);
                if (ActiveProtocol() != SCARD_PROTOCOL_T1) {
                    // Renegotiates T=1 without a reset. The host learns the outcome from the
                    // protocol it receives (0 when the connection was lost), not the status.
                    Helper_SCardReConnect(SCARD_LEAVE_CARD, false);
                }
                status = ZEPH_STATUS_SUCCESS;
            }
        }
        if (active != nullptr) {
            *active = ActiveProtocol();
        }
    });
    return status;
}

uint32_t CZephExtensionPcSc::ActiveProtocol() {
    AccessLock access(m_csWinScardAccess);
    return m_dwActiveProtocol;
}

uint32_t CZephExtensionPcSc::Power(uint32_t action, uint8_t* atr, uint32_t* atrLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Power";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Attribut %s soll geschrieben werden...", kName,
                        PowerActionName(action));
        if (m_hCard.load() == 0) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::NO Media", kName);
            status = ZEPH_STATUS_SUCCESS;
        } else if (action == ZEPH_POWER_DOWN) {
            Helper_SCardReleaseContext(SCARD_UNPOWER_CARD);
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::SCardDisconnect OK", kName);
            status = ZEPH_STATUS_SUCCESS;
        } else if (action == ZEPH_POWER_COLD_RESET || action == ZEPH_POWER_WARM_RESET) {
            status = ResetCard(action, atr, atrLength);
        } else {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::Unbekannter Resettyp <%d> wurde angefordernt", kName, action);
        }
    });
    return status;
}

// A cold reset powers the card down, connects again exclusively and reads the ATR, then
// reconnects unpowering; a warm reset reconnects with a reset. Either ends with the ATR read.
// Every read is offered the capacity the host gave: a failed read leaves the length the ATR
// needs, which must never become the capacity of the next read.
uint32_t CZephExtensionPcSc::ResetCard(uint32_t action, uint8_t* atr, uint32_t* atrLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Power";
    const uint32_t capacity = atr != nullptr && atrLength != nullptr ? *atrLength : 0;
    AccessLock access(m_csWinScardAccess);
    uint32_t initialization = SCARD_RESET_CARD;
    if (action == ZEPH_POWER_COLD_RESET) {
        const std::u16string reader = m_strReaderName;
        Helper_SCardDisConnect(SCARD_UNPOWER_CARD);
        if (Helper_SCardConnect(reader, false)) {
            ReadCardStatus(atr, capacity, atrLength);
        } else {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::Connect lieferte Fehler!",
                            kName);
            Helper_SCardDisConnect(SCARD_UNPOWER_CARD);
        }
        initialization = SCARD_UNPOWER_CARD;
    }
    if (Helper_SCardReConnect(initialization, false)) {
        return ReadCardStatus(atr, capacity, atrLength);
    }
    TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::ReConnect lieferte Fehler!", kName);
    Helper_SCardDisConnect(initialization);
    return ZEPH_STATUS_NO_MEDIA;
}

// The card's ATR into the host's buffer; a buffer too small for it fails the read, and the
// length then tells the size the ATR needs.
uint32_t CZephExtensionPcSc::ReadCardStatus(uint8_t* atr, uint32_t capacity, uint32_t* atrLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Power";
    PcScMemory readerName;
    uint32_t state = 0;
    uint32_t protocol = 0;
    uint32_t length = capacity;
    const uint32_t result =
        m_pcsc.Status(m_hCard.load(), readerName, &state, &protocol, atr, &length);
    if (atrLength != nullptr) {
        *atrLength = static_cast<uint32_t>(LengthForHost(result, length, capacity, *atrLength));
    }
    if (result != SCARD_S_SUCCESS) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::SCardStatus lieferte Fehler %s!",
                        kName, ErrorName(result));
        return ZEPH_STATUS_NO_MEDIA;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::SCardStatus OK", kName);
    return ZEPH_STATUS_SUCCESS;
}
