// The object's one connection to a card: exclusive with the shared-mode fallback, direct for
// talking to the reader itself, renewed by reconnection, closed by disconnection.
#include "extension/ConnectionGate.h"
#include "extension/ExtensionTrace.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"

void CZephExtensionPcSc::ResetAccessCounters(const char16_t* caller) {
    if (m_dwControlCount != 0 || m_dwTransmitCount != 0) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Zugriffszähler wurden zurückgesetzt", caller);
    }
    m_dwControlCount = 0;
    m_dwTransmitCount = 0;
}

void CZephExtensionPcSc::ClearConnection() {
    m_hCard.store(0);
    m_hCardContext = 0;
    m_strReaderName.clear();
    m_dwActiveProtocol = 0;
    m_dwShareMode = 0;
}

bool CZephExtensionPcSc::Helper_SCardConnect(const std::u16string& reader, bool direct) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardConnect";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    if (m_hCard.load() != 0) {
        return false;
    }
    AccessLock access(m_csWinScardAccess);
    if (m_hCard.load() != 0) {
        return false;  // another thread connected while this one waited for the lock
    }
    // A context that a release has taken from the object is not used any more.
    const ScardContext context = m_hContext.load();
    ScardHandle card = 0;
    uint32_t result = SCARD_E_INVALID_HANDLE;
    if (context != 0 && direct) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Connecting in <direct> mode...",
                        kName);
        result = m_pcsc.Connect(context, reader.c_str(), SCARD_SHARE_DIRECT, 0, &card,
                                &m_dwActiveProtocol);
    } else if (context != 0) {
        const std::lock_guard gate(zeph::extension::ConnectionGate(reader));
        result = ConnectExclusively(context, reader, card);
    }
    const bool connected = result == SCARD_S_SUCCESS;
    if (connected) {
        m_hCard.store(card);
        m_hCardContext = context;
        m_strReaderName = reader;
        m_dwShareMode = direct ? SCARD_SHARE_DIRECT : SCARD_SHARE_EXCLUSIVE;
        trace.SetReturnOk();
    } else {
        ClearConnection();
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::SCardConnect auf Leser <%s> lieferte Fehler %s!", kName, reader,
                        ErrorName(result));
    }
    ResetAccessCounters(kName);
    return connected;
}

// Exclusive use of the card: exclusive at once, or shared, then exclusive with a reset, then a
// fresh exclusive connection; in the end the reader must report the card as used exclusively.
// A step that fails closes the connection it leaves behind, so that the object does not hold the
// card against itself.
uint32_t CZephExtensionPcSc::ConnectExclusively(ScardContext context, const std::u16string& reader,
                                                ScardHandle& card) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardConnect";
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Connecting in <exclusive> mode...",
                    kName);
    uint32_t result = m_pcsc.Connect(context, reader.c_str(), SCARD_SHARE_EXCLUSIVE,
                                     SCARD_PROTOCOL_T1, &card, &m_dwActiveProtocol);
    if (result != SCARD_E_SHARING_VIOLATION) {
        return result;
    }
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::<exclusive> mode ist nicht möglich - Connecting in <shared> mode...",
                    kName);
    result = m_pcsc.Connect(context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card,
                            &m_dwActiveProtocol);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::ReConnecting in <exclusive> mode mit Reset...", kName);
    result = m_pcsc.Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_UNPOWER_CARD,
                              &m_dwActiveProtocol);
    if (result != SCARD_S_SUCCESS) {
        m_pcsc.Disconnect(card, SCARD_LEAVE_CARD);
        return result;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::DisConnecting...", kName);
    result = m_pcsc.Disconnect(card, SCARD_LEAVE_CARD);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Connecting in <exclusive> mode...",
                    kName);
    card = 0;
    result = m_pcsc.Connect(context, reader.c_str(), SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1,
                            &card, &m_dwActiveProtocol);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    result = CheckExclusive(context, reader);
    if (result != SCARD_S_SUCCESS) {
        m_pcsc.Disconnect(card, SCARD_LEAVE_CARD);
    }
    return result;
}

// The reader must report the card as used exclusively after the exclusive connection.
uint32_t CZephExtensionPcSc::CheckExclusive(ScardContext context, const std::u16string& reader) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardConnect";
    PcScReaderState state{};
    state.szReader = reader.c_str();
    const uint32_t result = m_pcsc.GetStatusChange(context, 0, &state, 1);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    if ((state.dwEventState & SCARD_STATE_EXCLUSIVE) != 0) {
        return SCARD_S_SUCCESS;
    }
    TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                    u"%s::SCardConnect auf Leser <%s> ist nicht exclusive!", kName, reader);
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::DisConnecting...", kName);
    return SCARD_E_SHARING_VIOLATION;
}

bool CZephExtensionPcSc::Helper_SCardReConnect(uint32_t initialization, bool tryOnly) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardReConnect";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    if (m_hCard.load() == 0 || !Helper_IsWinScardAccessAllowed()) {
        return false;
    }
    AccessLock access;
    const bool entered = Helper_EnterWinScardAccess(tryOnly, access);
    if (!Helper_IsWinScardAccessAllowed()) {
        return false;
    }
    if (!entered) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::Der Sicherheitsbereich konnte nicht betreten werden. SCardReConnect "
                        u"wurde nicht aufgerufen!",
                        kName);
        return false;
    }
    const ScardHandle card = m_hCard.load();
    if (card == 0) {
        return false;  // disconnected by another thread while this one waited for the lock
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                    u"%s::Zugriffszähler: Control <%d> Transmit <%d>", kName, m_dwControlCount,
                    m_dwTransmitCount);
    if (initialization > SCARD_UNPOWER_CARD) {
        initialization = SCARD_LEAVE_CARD;
    }
    uint32_t protocol = 0;
    const uint32_t result =
        m_pcsc.Reconnect(card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, initialization, &protocol);
    const bool reconnected = result == SCARD_S_SUCCESS;
    if (reconnected) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::SCardReConnect OK", kName);
        if (protocol != m_dwActiveProtocol) {
            TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                            u"%s::SCardReConnect hat das Protokoll %s in %s geändert!", kName,
                            ProtocolName(m_dwActiveProtocol), ProtocolName(protocol));
            m_dwActiveProtocol = protocol;
        }
        m_dwShareMode = SCARD_SHARE_EXCLUSIVE;
    } else {
        // The handle stays open in the PC/SC service until it is closed: close it before it is
        // forgotten, or the card stays held against the object's next connection.
        m_pcsc.Disconnect(card, SCARD_LEAVE_CARD);
        ClearConnection();
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::SCardReConnect lieferte Fehler %s!",
                        kName, ErrorName(result));
    }
    ResetAccessCounters(kName);
    return reconnected;
}

bool CZephExtensionPcSc::Helper_SCardDisConnect(uint32_t disposition) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardDisConnect";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    // The fields are shared with the host's other threads, so they change under the lock even
    // when no card is connected; a card another thread disconnected meanwhile is left alone.
    AccessLock access(m_csWinScardAccess);
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                    u"%s::Zugriffszählerstand Control <%d> Transmit <%d>", kName, m_dwControlCount,
                    m_dwTransmitCount);
    if (const ScardHandle card = m_hCard.load(); card != 0) {
        m_pcsc.Disconnect(card, disposition > SCARD_EJECT_CARD ? SCARD_UNPOWER_CARD : disposition);
    }
    ClearConnection();
    ResetAccessCounters(kName);
    trace.SetReturnOk();
    return true;
}
