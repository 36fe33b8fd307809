// The object's PC/SC context, its lock and the access gate that permits reconnections.
#include "extension/ExtensionTrace.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

namespace {
constexpr uint32_t kAccessGateWaitMs = 100;
}

uint32_t CZephExtensionPcSc::Helper_SCardGetContext() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardGetContext";
    if (m_hContext.load() != 0) {
        return SCARD_S_SUCCESS;
    }
    AccessLock access(m_csWinScardAccess);
    if (m_hContext.load() != 0) {
        return SCARD_S_SUCCESS;  // another thread established it while this one waited for the lock
    }
    ScardContext context = 0;
    const uint32_t result = m_pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context);
    if (result != SCARD_S_SUCCESS) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::Fehler <0x%08x> bei SCardEstablishContext()!", kName, result);
        return result;
    }
    m_hContext.store(context);
    TRC_WriteFormat(TRACE_INFO, kExtensionComponent, u"%s::SCardEstablishContext() - OK", kName);
    return SCARD_S_SUCCESS;
}

// The context is taken from the object first, under the lock, so that no call starts on it any
// more and two racing releases release it once. Then every wait still open on it is cancelled
// until it has returned, the card connected under it is let go under the lock, and the context is
// released outside the lock: a slow release must not hold up the object's next context. A card
// that another thread connected meanwhile under a newer context is left alone.
bool CZephExtensionPcSc::Helper_SCardReleaseContext(uint32_t disposition) {
    ZEPH_EXTENSION_METHOD_TRACE(trace, u"CZephExtensionPcSc::Helper_SCardReleaseContext");
    ScardContext context = 0;
    {
        AccessLock access(m_csWinScardAccess);
        context = m_hContext.exchange(0);
    }
    if (context != 0) {
        LetGoOfContext(context, disposition);
    }
    trace.SetReturnOk();
    return true;
}

void CZephExtensionPcSc::LetGoOfContext(ScardContext context, uint32_t disposition) {
    m_pendingWaits.CancelUntilNoneOpen(context, [&] { m_pcsc.Cancel(context); });
    {
        AccessLock access(m_csWinScardAccess);
        if (m_hCard.load() == 0 || m_hCardContext == context) {
            Helper_SCardDisConnect(disposition);
        }
    }
    m_pcsc.ReleaseContext(context);
}

bool CZephExtensionPcSc::Helper_EnterWinScardAccess(bool tryOnly, AccessLock& access) {
    if (!tryOnly) {
        access = AccessLock(m_csWinScardAccess);
        return true;
    }
    access = AccessLock(m_csWinScardAccess, std::try_to_lock);
    if (!access.owns_lock()) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                        u"%s::Der Sicherheitsbereich konnte nicht betreten werden",
                        u"CZephExtensionPcSc::Helper_EnterWinScardAccess");
        return false;
    }
    return true;
}

bool CZephExtensionPcSc::Helper_IsWinScardAccessAllowed() {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_IsWinScardAccessAllowed";
    if (m_hAllowAccessEvent.Wait(kAccessGateWaitMs)) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Der Zugriff auf die PC/SC Schnittstelle ist erlaubt", kName);
        return true;
    }
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::Der Zugriff auf die PC/SC Schnittstelle ist z.Z. verboten", kName);
    return false;
}
