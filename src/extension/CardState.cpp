// Card state, the wait for the card's removal, and cancellation of every wait.
#include "extension/ExtensionTrace.h"
#include "pcsc/LogNames.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr uint32_t kRemovalRetryMs = 100;
constexpr uint32_t kStatusRetryMs = 50;
// Not a PC/SC result: the removal wait's context is gone or invalid.
constexpr uint32_t kRemovalWaitOver = 0xFFFFFFFFu;

// Results that end the removal wait: cancellation, a vanished reader or service, no readers.
bool EndsRemovalWait(uint32_t result) {
    return result == SCARD_E_CANCELLED || result == SCARD_E_SYSTEM_CANCELLED ||
           result == SCARD_E_READER_UNAVAILABLE || result == SCARD_E_NO_SERVICE ||
           result == SCARD_E_NO_READERS_AVAILABLE;
}

// True when there is no card and no other thread is changing the connection. A cold reset holds
// the lock with the card disconnected between its two halves, and its second half needs the gate
// the removal wait opens: while the lock is held elsewhere, the card may come back.
bool NoCardToWaitFor(const std::atomic<ScardHandle>& card, std::recursive_mutex& access) {
    if (card.load() != 0) {
        return false;
    }
    std::unique_lock<std::recursive_mutex> held(access, std::try_to_lock);
    return held.owns_lock() && card.load() == 0;
}

}  // namespace

uint32_t CZephExtensionPcSc::IsAbsent() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::IsAbsent";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    RunGuarded(kName, [&] {
        if (NoCardToWaitFor(m_hCard, m_csWinScardAccess)) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::Karte/Leser wurde mittlerweile entfernt", kName);
            return;
        }
        try {
            WaitForRemoval();
        } catch (...) {
            // The gate must not stay open once nobody waits for the removal any more.
            m_hAllowAccessEvent.Reset();
            Helper_SCardDisConnect(SCARD_UNPOWER_CARD);
            throw;
        }
        m_hAllowAccessEvent.Reset();
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Event für <AllowAccess> wurde zurückgesetzt", kName);
        Helper_SCardDisConnect(SCARD_UNPOWER_CARD);
    });
    return ZEPH_STATUS_SUCCESS;
}

// Opens the access gate and waits, without the lock, until the card is gone or the wait is
// cancelled. The gate opens before the lock is taken for the copy of the reader's name (the field
// may change while the wait runs): a reset running on another thread holds the lock while its
// reconnection waits for the gate, and would otherwise be refused and lose the card. Its name is
// copied once it is done; an empty one means the reset lost the card. The wait keeps to the
// context it started with; once a release has taken it from the object, the wait is over.
void CZephExtensionPcSc::WaitForRemoval() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::IsAbsent";
    TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                    u"%s::Event für <AllowAccess> wird signalisiert", kName);
    m_hAllowAccessEvent.Set();
    std::u16string reader;
    ScardContext context = 0;
    {
        AccessLock access(m_csWinScardAccess);
        reader = m_strReaderName;
        context = m_hContext.load();
    }
    if (reader.empty()) {
        return;
    }
    PcScReaderState state{};
    state.szReader = reader.c_str();
    state.dwEventState = SCARD_STATE_PRESENT;
    state.cbAtr = SCARD_ATR_CAPACITY;
    uint32_t result = SCARD_S_SUCCESS;
    while (!EndsRemovalWait(result) && (state.dwEventState & SCARD_STATE_PRESENT) != 0) {
        uint32_t validity = SCARD_S_SUCCESS;
        result = WaitForRemovalPass(context, state, validity);
        if (result == kRemovalWaitOver) {
            RenewLostContext(kName, context, validity);
            return;
        }
        if (result == SCARD_S_SUCCESS) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::SCardGetStatusChange() - EventState <0x%08x>", kName,
                            state.dwEventState);
            state.dwCurrentState = state.dwEventState;
        } else if (EndsRemovalWait(result) && result != SCARD_E_NO_SERVICE) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::SCardGetStatusChange() - Return %s", kName, ErrorName(result));
        } else {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardGetStatusChange() - Fehler %s!", kName, ErrorName(result));
            m_sleeper.SleepMs(kRemovalRetryMs);
        }
    }
    RenewLostContext(kName, context, result);
}

// One wait of the removal loop, open for a release from before its context checks until it has
// returned; kRemovalWaitOver when the context is gone or invalid.
uint32_t CZephExtensionPcSc::WaitForRemovalPass(ScardContext context, PcScReaderState& state,
                                                uint32_t& validity) {
    const PendingWaits::Scope pending(m_pendingWaits, context);
    if (context == 0 || m_hContext.load() != context) {
        return kRemovalWaitOver;
    }
    validity = m_pcsc.IsValidContext(context);
    if (validity != SCARD_S_SUCCESS) {
        return kRemovalWaitOver;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::rufe SCardGetStatusChange...",
                    u"CZephExtensionPcSc::IsAbsent");
    return m_pcsc.GetStatusChange(context, SCARD_INFINITE, &state, 1);
}

uint32_t CZephExtensionPcSc::GetState(uint32_t* state, uint32_t* protocol) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::GetState";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_SUCCESS;
    uint32_t lastResult = SCARD_S_SUCCESS;
    if (!RunGuarded(kName, [&] { status = QueryCardState(state, protocol, lastResult); })) {
        status = lastResult;  // the last status query's result
    }
    return status;
}

// At most two status queries with a reconnection between them; a card whose state cannot be
// told counts as absent, and the removal wait is woken so that the connection is torn down.
uint32_t CZephExtensionPcSc::QueryCardState(uint32_t* state, uint32_t* protocol,
                                            uint32_t& lastResult) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::GetState";
    AccessLock access(m_csWinScardAccess);
    PcScMemory readerName;
    uint32_t cardState = 0;
    uint32_t cardProtocol = 0;
    uint32_t result = SCARD_S_SUCCESS;
    for (int query = 1;; ++query) {
        readerName.Reset();
        cardState = 0;
        cardProtocol = 0;
        if (m_hCard.load() == 0) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Es ist keine Karte gesteckt!",
                            kName);
            cardState = SCARD_ABSENT;
            result = SCARD_S_SUCCESS;
        } else {
            uint8_t atr[33];
            uint32_t atrLength = sizeof(atr);
            result = m_pcsc.Status(m_hCard.load(), readerName, &cardState, &cardProtocol, atr,
                                   &atrLength);
            lastResult = result;
        }
        if (state != nullptr) {
            *state = cardState;
        }
        if (protocol != nullptr) {
            *protocol = cardProtocol;
        }
        if (result == SCARD_S_SUCCESS) {
            break;
        }
        const std::u16string name = readerName.Empty() ? u"" : readerName.Text();
        if (query == 1) {
            TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                            u"%s::Aktueller Status des Lesers <%s> konnte nicht ermittelt werden "
                            u"- Fehler %s! Versuche ReConnect...",
                            kName, name, ErrorName(result));
            m_sleeper.SleepMs(kStatusRetryMs);
            if (Helper_SCardReConnect(SCARD_LEAVE_CARD, true)) {
                TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                                u"%s::ReConnect OK - Zurück zur Statusabfrage", kName);
                continue;
            }
        }
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::Aktueller Status des Lesers <%s> konnte nicht ermittelt werden - "
                        u"Fehler %s!",
                        kName, name, ErrorName(result));
        if (state != nullptr) {
            *state = SCARD_ABSENT;
        }
        if (protocol != nullptr) {
            *protocol = 0;
        }
        m_pcsc.Cancel(m_hContext.load());
        return SCARD_S_SUCCESS;
    }
    if (m_hCard.load() != 0 && !readerName.Empty()) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Aktueller Status des Lesers <%s> ist %s mit Protokoll %s", kName,
                        readerName.Text(), CardStateName(cardState), ProtocolName(cardProtocol));
        m_dwActiveProtocol = cardProtocol;
        m_strReaderName = readerName.Text();
    } else {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Aktueller Status des Lesers ist %s", kName, CardStateName(cardState));
    }
    return result;
}

void CZephExtensionPcSc::Cancel() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Cancel";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    RunGuarded(kName, [&] {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Event für <Cancel> wird signalisiert", kName);
        m_hCancelEvent.Set();
        Helper_SCardReleaseContext(SCARD_RESET_CARD);
    });
}
