// The shared scenarios' stack over the PC/SC simulator: one reader, the virtual card, and the
// simulator's other application.
#include "PcScSimulator.h"
#include "ScenarioStack.h"

namespace {

class SimulatorScenarioStack final : public ScenarioStack {
  public:
    SimulatorScenarioStack() { m_simulator.AddReader(ReaderName()); }

    PcScApi& Api() override { return m_simulator; }
    std::u16string ReaderName() const override { return u"Sim Reader 0"; }
    void InsertCard(const std::vector<uint8_t>& atr) override {
        Require(m_simulator.InsertCard(ReaderName(), atr),
                "InsertCard: the reader holds a card already");
    }
    void RemoveCard() override {
        Require(m_simulator.RemoveCard(ReaderName()), "RemoveCard: the reader is empty");
    }
    void HoldCardExclusivelyElsewhere() override {
        Require(m_simulator.HoldExclusively(ReaderName()) == SCARD_S_SUCCESS,
                "HoldCardExclusivelyElsewhere: the card cannot be held exclusively");
    }
    void ReleaseCardElsewhere() override {
        Require(m_simulator.ReleaseHeld(ReaderName()), "ReleaseCardElsewhere: nothing is held");
    }
    void StopService() override { m_simulator.StopService(); }
    void StartService() override { m_simulator.StartService(); }
    size_t WaitsInProgress(ScardContext) const override { return m_simulator.WaitersBlocked(); }

  private:
    PcScSimulator m_simulator;
};

}  // namespace

std::unique_ptr<ScenarioStack> MakeScenarioStack() {
    return std::make_unique<SimulatorScenarioStack>();
}
