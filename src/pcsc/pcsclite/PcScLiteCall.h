// One call on a PcScLiteContext's card context, in flight for as long as this object lives, so
// that releasing the context waits for it (see PcScLiteContext).
#pragma once

#include <cstdint>

#include "pcsc/pcsclite/PcScLiteContext.h"

namespace zeph::platform::pcsclite {

class PcScLiteCall {
  public:
    explicit PcScLiteCall(PcScLiteContext& context);
    ~PcScLiteCall();
    PcScLiteCall(const PcScLiteCall&) = delete;
    PcScLiteCall& operator=(const PcScLiteCall&) = delete;

    // SCARD_S_SUCCESS when the call may go ahead; SCARD_E_INVALID_HANDLE when the context is
    // being released or has been.
    uint32_t BeginResult() const { return m_beginResult; }

  private:
    PcScLiteContext& m_context;
    uint32_t m_beginResult;
};

}  // namespace zeph::platform::pcsclite
