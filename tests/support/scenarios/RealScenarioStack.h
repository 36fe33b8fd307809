// The shared scenarios' stack over the real Linux PC/SC stack: a private pcscd with one vpcd
// reader, zeph_vcard cards, the pcsc-lite backend as the module's seam, and a direct pcsc-lite
// connection as the other application. Runs only inside run-in-namespace.sh.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ScenarioStack.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

class RealScenarioStack final : public ScenarioStack {
  public:
    RealScenarioStack();
    ~RealScenarioStack() override;

    PcScApi& Api() override { return *m_backend; }
    std::u16string ReaderName() const override;
    void InsertCard(const std::vector<uint8_t>& atr) override;
    void RemoveCard() override;
    void HoldCardExclusivelyElsewhere() override;
    void ReleaseCardElsewhere() override;
    void StopService() override;
    void StartService() override;

    zeph::platform::pcsclite::PcScLiteBackend& Backend() { return *m_backend; }

  private:
    struct World;

    // First, so that pcsc-lite is loaded by the backend (which turns off its sharing waits)
    // before the stack's own pcsc-lite calls; last to go.
    zeph::platform::pcsclite::PcScLiteLibrary m_library;
    std::unique_ptr<World> m_world;
    std::unique_ptr<zeph::platform::pcsclite::PcScLiteBackend> m_backend;
};
