// The shared scenarios' stack over the PC/SC simulator: one reader, the virtual card, and the
// simulator's other application.
#pragma once

#include <string>
#include <vector>

#include "PcScSimulator.h"
#include "ScenarioStack.h"

class SimulatorScenarioStack final : public ScenarioStack {
  public:
    SimulatorScenarioStack();

    PcScApi& Api() override { return m_simulator; }
    std::u16string ReaderName() const override { return u"Sim Reader 0"; }
    void InsertCard(const std::vector<uint8_t>& atr) override;
    void RemoveCard() override;
    void HoldCardExclusivelyElsewhere() override;
    void ReleaseCardElsewhere() override;
    void StopService() override { m_simulator.StopService(); }
    void StartService() override { m_simulator.StartService(); }
    size_t WaitsInProgress(ScardContext) const override { return m_simulator.WaitersBlocked(); }

  private:
    PcScSimulator m_simulator;
};
