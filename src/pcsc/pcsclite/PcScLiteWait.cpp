#include "pcsc/pcsclite/PcScLiteWait.h"

#include "pcsc/PcScConstants.h"

namespace zeph::platform::pcsclite {

PcScLiteWait::PcScLiteWait(PcScLiteContext& context)
    : m_context(context), m_openResult(context.Register(&m_id, &m_lite)) {}

PcScLiteWait::~PcScLiteWait() {
    if (m_openResult == SCARD_S_SUCCESS) {
        m_context.Unregister(m_id, m_lite, m_reusable);
    }
}

bool PcScLiteWait::CancelRequested() const {
    return m_context.CancelRequested(m_id);
}

void PcScLiteWait::NoteResult(uint32_t result) {
    m_context.NoteResult(result);
    if (result == SCARD_E_NO_SERVICE || result == SCARD_E_SERVICE_STOPPED ||
        result == SCARD_E_INVALID_HANDLE || result == SCARD_F_COMM_ERROR) {
        m_reusable = false;
    }
}

}  // namespace zeph::platform::pcsclite
