// The wait for a usable reader and card: list the readers, wait for changes, test each changed
// reader's card against the ATR mask and connect the first usable card exclusively.
#include <algorithm>
#include <cstring>

#include "extension/ExtensionTrace.h"
#include "extension/ReaderNames.h"
#include "extension/ReaderTable.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"
#include "platform/HostMemory.h"

namespace {

constexpr const char16_t* kName = u"CZephExtensionPcSc::IsPresent";
constexpr const char16_t* kAllReaders = u"SCard$AllReaders";

void TraceEntries(const ReaderTable& table, const char16_t* format) {
    for (uint32_t i = 0; i < table.count; ++i) {
        const PcScReaderState& entry = table.entries[i];
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, format, kName, entry.dwCurrentState,
                        entry.dwEventState, entry.szReader);
    }
}

// The reader reports what the module saw before. The CHANGED flag and the ATRMATCH mark of the
// ATR filter say nothing about the reader itself: a reader that differs only in them has not
// changed, so a foreign card or a reader held elsewhere is reported once, not on every wake-up.
bool IsUnchanged(const PcScReaderState& entry) {
    constexpr uint32_t kMarks = SCARD_STATE_CHANGED | SCARD_STATE_ATRMATCH;
    return (entry.dwEventState & ~kMarks) == (entry.dwCurrentState & ~kMarks);
}

}  // namespace

uint32_t CZephExtensionPcSc::IsPresent(const ZephWChar* manualReader, uint8_t* atr,
                                       uint64_t* atrLength, uint32_t* protocol) {
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_INVALID_DEVICE_STATE;
    RunGuarded(kName, [&] {
        std::u16string manual;
        for (const ZephWChar* c = manualReader; c != nullptr && *c != 0; ++c) {
            manual += static_cast<char16_t>(*c);
        }
        status = WaitForCard(manual, CardDestination{atr, atrLength, protocol});
    });
    return status;
}

// The call keeps to the context it started with: when a release takes that context from the
// object (Cancel, power down), the call ends as cancelled instead of going on with a context that
// is being released or with the next one.
uint32_t CZephExtensionPcSc::WaitForCard(const std::u16string& manual,
                                         const CardDestination& destination) {
    if (m_hCard.load() != 0) {
        Helper_SCardDisConnect(SCARD_LEAVE_CARD);
    }
    if (const uint32_t result = Helper_SCardGetContext(); result != SCARD_S_SUCCESS) {
        return StatusAfterServiceFailure(result);
    }
    const ScardContext context = m_hContext.load();
    if (context == 0 && CancelledMeanwhile(context)) {
        return ZEPH_STATUS_PENDING;  // released again before the call could use it
    }
    for (;;) {
        ReaderTable table;
        if (const uint32_t result = ListReaders(context, table); result != SCARD_S_SUCCESS) {
            if (CancelledMeanwhile(context)) {
                return ZEPH_STATUS_PENDING;
            }
            RenewLostContext(kName, context, result);
            return StatusAfterServiceFailure(result);
        }
        const uint32_t status = WaitOnReaders(context, table, manual, destination);
        if (status != kNewListing) {
            return status;
        }
    }
}

// The listing runs under the lock, which a release needs as well: the platform's list is copied
// into the table and freed before a release can free it with the context.
uint32_t CZephExtensionPcSc::ListReaders(ScardContext context, ReaderTable& table) {
    AccessLock access(m_csWinScardAccess);
    if (m_hContext.load() != context) {
        return SCARD_E_INVALID_HANDLE;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::rufe SCardListReaders...", kName);
    PcScMemory readers;
    const uint32_t result = m_pcsc.ListReaders(context, kAllReaders, readers);
    if (result == SCARD_E_READER_UNAVAILABLE) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::SCardListReaders konnte keinen benutzbaren Leser finden!", kName);
        readers.Reset();
    } else if (result == SCARD_E_NO_READERS_AVAILABLE) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::SCardListReaders konnte keinen Leser finden!", kName);
        readers.Reset();
    } else if (result != SCARD_S_SUCCESS) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::SCardListReaders lieferte Fehler %s!", kName, ErrorName(result));
        return result;
    }
    FillReaderTable(readers.Text(), readers.Length(), table);
    return SCARD_S_SUCCESS;
}

// A release took the call's context from the object while the call listed or waited: the failure
// of PC/SC on that context is the cancellation, reported as such, and the Cancel that caused it
// is delivered by this return.
bool CZephExtensionPcSc::CancelledMeanwhile(ScardContext context) {
    if (context != 0 && m_hContext.load() == context) {
        return false;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::sCardContext ist NULL", kName);
    m_hCancelEvent.Wait(0);
    return true;
}

// Wait passes over one listing: ZEPH_STATUS_* when the call ends, kNewListing when the set of
// readers changed. The wait counts as open from before its checks until it has returned, so that
// a release cancels it even when its SCardCancel comes between the checks and the wait.
uint32_t CZephExtensionPcSc::WaitOnReaders(ScardContext context, ReaderTable& table,
                                           const std::u16string& manual,
                                           const CardDestination& destination) {
    for (;;) {
        uint32_t result = SCARD_S_SUCCESS;
        {
            const PendingWaits::Scope pending(m_pendingWaits, context);
            if (CancelledMeanwhile(context)) {
                return ZEPH_STATUS_PENDING;
            }
            if (m_hCancelEvent.Wait(0)) {
                TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                                u"%s::Ergebnis <Cancel> von WAIT erhalten", kName);
                return ZEPH_STATUS_PENDING;
            }
            TraceEntries(table, u"%s::vor  SCardGetStatusChange <0x%08x> <0x%08x> <%s>");
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::rufe SCardGetStatusChange...",
                            kName);
            result =
                m_pcsc.GetStatusChange(context, SCARD_INFINITE, table.entries.data(), table.count);
        }
        if (result == SCARD_E_CANCELLED || result == SCARD_E_SYSTEM_CANCELLED) {
            return WaitFailed(context, result);
        }
        if (result != SCARD_S_SUCCESS) {
            return CancelledMeanwhile(context) ? ZEPH_STATUS_PENDING : WaitFailed(context, result);
        }
        const uint32_t status = CheckEntries(table, manual, destination);
        if (status != kNextWait) {
            return status;
        }
    }
}

// One wake-up: the entries in table order. kNextWait when the next wait pass follows.
uint32_t CZephExtensionPcSc::CheckEntries(ReaderTable& table, const std::u16string& manual,
                                          const CardDestination& destination) {
    TraceEntries(table, u"%s::nach SCardGetStatusChange <0x%08x> <0x%08x> <%s>");
    if (manual.empty()) {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Manuelle Lesereinstellung ist deaktiviert", kName);
    } else {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Manuelle Lesereinstellung ist aktiviert <%s>", kName, manual);
    }
    for (uint32_t i = 0; i < table.count; ++i) {
        const EntryOutcome outcome = CheckEntry(table, i, manual, destination);
        if (outcome == EntryOutcome::Connected) {
            return ZEPH_STATUS_SUCCESS;
        }
        if (outcome == EntryOutcome::NewListing) {
            return kNewListing;
        }
        table.entries[i].dwCurrentState = table.entries[i].dwEventState;
    }
    return kNextWait;
}

uint32_t CZephExtensionPcSc::WaitFailed(ScardContext context, uint32_t result) {
    if (result == SCARD_E_CANCELLED) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::SCardGetStatusChange wurde abgebrochen (SCardCancel)!", kName);
        m_hCancelEvent.Wait(0);  // the host's Cancel is delivered by this return
        return ZEPH_STATUS_PENDING;
    }
    if (result == SCARD_E_SYSTEM_CANCELLED) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::SCardGetStatusChange wurde vom System abgebrochen!", kName);
        m_hCancelEvent.Wait(0);
        return ZEPH_STATUS_PENDING;
    }
    TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                    u"%s::SCardGetStatusChange lieferte Fehler %s!", kName, ErrorName(result));
    RenewLostContext(kName, context, result);
    return StatusAfterServiceFailure(result);
}

CZephExtensionPcSc::EntryOutcome CZephExtensionPcSc::CheckEntry(
    ReaderTable& table, uint32_t index, const std::u16string& manual,
    const CardDestination& destination) {
    PcScReaderState& entry = table.entries[index];
    if (table.IsNotificationEntry(index)) {
        const uint32_t seen = ReaderCountBits(entry.dwCurrentState);
        const uint32_t now = ReaderCountBits(entry.dwEventState);
        if (now > seen) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::SCardGetStatusChange lieferte <%d> neue(n) Leser!", kName,
                            now - seen);
        } else if (now < seen) {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::SCardGetStatusChange lieferte <%d> gezogene(n) Leser!", kName,
                            seen - now);
        }
        if (now != seen) {
            return EntryOutcome::NewListing;
        }
    }
    const std::u16string reader = entry.szReader;
    if ((entry.dwEventState & SCARD_STATE_EMPTY) != 0) {
        Helper_SwitchBootLoaderForSmartToken(reader);
        return EntryOutcome::Next;
    }
    if ((entry.dwEventState & SCARD_STATE_PRESENT) == 0 || IsUnchanged(entry) ||
        (!manual.empty() && !ReaderNamesEqualIgnoringCase(manual, reader))) {
        return EntryOutcome::Next;
    }
    return TryCard(entry, reader, destination);
}

// A changed reader with a card: the card must match the ATR mask and must not be held
// exclusively by another application; then it is connected exclusively.
CZephExtensionPcSc::EntryOutcome CZephExtensionPcSc::TryCard(PcScReaderState& entry,
                                                             const std::u16string& reader,
                                                             const CardDestination& destination) {
    if (!Helper_SCardLocateCardsByAtr(&entry)) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::SCardLocateCardsByAtr auf Leser <%s> war NICHT erfolgreich", kName,
                        reader);
        return EntryOutcome::Next;
    }
    const uint32_t state = entry.dwEventState;
    if ((state & SCARD_STATE_ATRMATCH) == 0) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::Der Leser <%s> hat eine Karte mit fremden ATR. Es wird keine "
                        u"Verbindung hergestellt!",
                        kName, reader);
        return EntryOutcome::Next;
    }
    if ((state & SCARD_STATE_INUSE) != 0) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::Der Leser <%s> wird von einer anderen Anwendung verwwendet!", kName,
                        reader);
    }
    if ((state & SCARD_STATE_EXCLUSIVE) != 0) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::Der Leser <%s> wird von einer anderen Anwendung exklusiv "
                        u"verwwendet. Es ist keine Verbindung möglich!",
                        kName, reader);
        NotifySharingViolation();
        return EntryOutcome::Next;
    }
    if (!Helper_SCardConnect(reader, false)) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::SCardConnect auf Leser <%s> war NICHT erfolgreich", kName, reader);
        return EntryOutcome::Next;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                    u"%s::SCardConnect erfolgreich - Verbunden mit Leser <%s>", kName, reader);
    HandOverCard(entry, destination);
    return EntryOutcome::Connected;
}

// The ATR goes to the host only when it fits; otherwise buffer and size stay untouched.
void CZephExtensionPcSc::HandOverCard(const PcScReaderState& entry,
                                      const CardDestination& destination) {
    const uint32_t atrLength = std::min(entry.cbAtr, SCARD_ATR_CAPACITY);
    if (destination.atr != nullptr && destination.atrLength != nullptr &&
        *destination.atrLength >= atrLength) {
        zeph::platform::CopyToHostMemory(destination.atr, entry.rgbAtr, atrLength);
        *destination.atrLength = atrLength;
    }
    if (destination.protocol != nullptr) {
        AccessLock access(m_csWinScardAccess);
        *destination.protocol = m_dwActiveProtocol;
    }
}

void CZephExtensionPcSc::NotifySharingViolation() {
    const ZephNotifyCallback notify = m_pfnNotify;
    if (notify == nullptr) {
        return;
    }
    ZephNotification record{};
    record.cbSize = ZEPH_NOTIFICATION_SIZE;
    record.nField04 = 1;
    record.nField08 = 0x400;
    record.nField0C = 1;
    std::memcpy(record.szShortName, m_szShortName, sizeof(record.szShortName));
    record.szShortName[sizeof(record.szShortName) - 1] = '\0';
    record.cbText = ZEPH_NOTIFICATION_TEXT_CAPACITY;
    static constexpr char kEvent[] = "SharingViolation";
    std::memcpy(record.szText, kEvent, sizeof(kEvent));
    notify(&record, m_pNotifyContext);
}
