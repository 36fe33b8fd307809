#include "pcsc/pcsclite/PcScLiteCall.h"

#include "pcsc/PcScConstants.h"

namespace zeph::platform::pcsclite {

PcScLiteCall::PcScLiteCall(PcScLiteContext& context)
    : m_context(context), m_beginResult(context.BeginCall()) {}

PcScLiteCall::~PcScLiteCall() {
    if (m_beginResult == SCARD_S_SUCCESS) {
        m_context.EndCall();
    }
}

}  // namespace zeph::platform::pcsclite
