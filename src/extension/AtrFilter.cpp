// The ATR filter of reader discovery: PC/SC marks a reader state with SCARD_STATE_ATRMATCH when
// its card matches the maker's ATR mask.
#include <array>

#include "extension/ExtensionTrace.h"
#include "pcsc/LogNames.h"
#include "extension/ZephExtensionPcSc.h"
#include "identification/AtrTable.h"
#include "pcsc/PcScConstants.h"

bool CZephExtensionPcSc::Helper_SCardLocateCardsByAtr(PcScReaderState* state) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SCardLocateCardsByAtr";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    bool located = false;
    RunGuarded(kName, [&] {
        if (m_hContext.load() == 0) {
            return;
        }
        if (m_bAtrFilter == 0) {
            TRC_WriteFormat(TRACE_INFO, kExtensionComponent, u"%s::ATR Filter Schalter ist AUS",
                            kName);
            if ((state->dwEventState & SCARD_STATE_PRESENT) != 0) {
                state->dwEventState |= SCARD_STATE_ATRMATCH;
            }
            located = true;
            return;
        }
        AccessLock access(m_csWinScardAccess);
        std::array<PcScAtrMask, 1> table{};
        if (!ZEPH_Helper::VH_GetAllTalpoAtr(m_cardIdentification, table.data(), table.size())) {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardAtrMasks konnte nicht ermittelt werden!", kName);
            return;
        }
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent, u"%s::LocateCard(s)ByAtr...", kName);
        const uint32_t result = m_pcsc.LocateCardsByATR(
            m_hContext.load(), table.data(), static_cast<uint32_t>(table.size()), state, 1);
        if (result != SCARD_S_SUCCESS) {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardLocateCardsByATR lieferte Fehler %s!", kName,
                            ErrorName(result));
            return;
        }
        located = true;
        trace.SetReturnOk();
    });
    return located;
}
