// One status-change wait in progress on a PcScLiteContext: it holds a pcsc-lite context of its
// own for as long as it lives and is registered, so that Cancel and Release can end it.
#pragma once

#include <cstdint>

#include "pcsc/pcsclite/PcScLiteAbi.h"
#include "pcsc/pcsclite/PcScLiteContext.h"

namespace zeph::platform::pcsclite {

class PcScLiteWait {
  public:
    explicit PcScLiteWait(PcScLiteContext& context);
    ~PcScLiteWait();
    PcScLiteWait(const PcScLiteWait&) = delete;
    PcScLiteWait& operator=(const PcScLiteWait&) = delete;

    // SCARD_S_SUCCESS when the wait may go ahead; otherwise why not (the context was released,
    // or no pcsc-lite context could be established).
    uint32_t OpenResult() const { return m_openResult; }
    LiteContext Lite() const { return m_lite; }
    bool CancelRequested() const;
    // Records a result of a call on Lite(); a context that answered that the service or the
    // context is gone is released instead of going back to the pool.
    void NoteResult(uint32_t result);

  private:
    PcScLiteContext& m_context;
    uint64_t m_id = 0;
    LiteContext m_lite = 0;
    uint32_t m_openResult;
    bool m_reusable = true;
};

}  // namespace zeph::platform::pcsclite
