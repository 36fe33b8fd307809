// The shared scenarios' stack over the real Linux PC/SC stack (RealStack.h): the pcsc-lite
// backend as the module's seam, and the stack's own pcsc-lite context as the other application.
// Runs only inside run-in-namespace.sh.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScenarioStack.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace realstack {
class PcscCard;
class RealStack;
}  // namespace realstack

class RealScenarioStack final : public ScenarioStack {
  public:
    RealScenarioStack();
    ~RealScenarioStack() override;

    PcScApi& Api() override { return m_backend; }
    std::u16string ReaderName() const override;
    void InsertCard(const std::vector<uint8_t>& atr) override;
    void RemoveCard() override;
    void HoldCardExclusivelyElsewhere() override;
    void ReleaseCardElsewhere() override;
    void StopService() override;
    void StartService() override;
    size_t WaitsInProgress(ScardContext context) const override {
        return m_backend.OpenWaits(context);
    }

  private:
    // First, so that pcsc-lite is loaded by the backend (which turns off its sharing waits)
    // before the stack's own pcsc-lite calls; last to go. The backend goes first.
    zeph::platform::pcsclite::PcScLiteLibrary m_library;
    std::unique_ptr<realstack::RealStack> m_stack;
    std::optional<std::vector<uint8_t>> m_cardAtr;  // the card in the reader
    std::unique_ptr<realstack::PcscCard> m_held;    // the other application's connection
    zeph::platform::pcsclite::PcScLiteBackend m_backend{m_library};
};
