// The PC/SC service goes away and comes back: pcscd is restarted, and the Windows service stops
// when the last reader is removed and starts again when one is plugged in. A context from before
// is dead for ever; the object lets go of it, and the next IsPresent establishes a new one.
#include "extension/ExtensionTrace.h"
#include "pcsc/LogNames.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

namespace {

bool ServiceGone(uint32_t result) {
    return result == SCARD_E_NO_SERVICE || result == SCARD_E_SERVICE_STOPPED;
}

}  // namespace

// A context that the object did not release itself and that PC/SC calls invalid was forgotten by
// the service as well; one whose link to the service broke (a wait that was blocked when the
// service went away) is of no further use either.
void CZephExtensionPcSc::RenewLostContext(const char16_t* caller, ScardContext context,
                                          uint32_t result) {
    if (!ServiceGone(result) && result != SCARD_E_INVALID_HANDLE && result != SCARD_F_COMM_ERROR) {
        return;
    }
    {
        AccessLock access(m_csWinScardAccess);
        ScardContext held = context;
        if (context == 0 || !m_hContext.compare_exchange_strong(held, 0)) {
            return;  // released by the object itself, or renewed already
        }
    }
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::PC/SC-Kontext ist nicht mehr gültig (Fehler %s) und wird erneuert",
                    caller, ErrorName(result));
    LetGoOfContext(context, SCARD_LEAVE_CARD);
}

uint32_t CZephExtensionPcSc::StatusAfterServiceFailure(uint32_t result) {
    if (ServiceGone(result) && m_hCancelEvent.Wait(m_serviceRetryMs)) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Ergebnis <Cancel> von WAIT erhalten",
                        u"CZephExtensionPcSc::IsPresent");
        return ZEPH_STATUS_PENDING;
    }
    return ZEPH_STATUS_INVALID_DEVICE_STATE;
}
