#include "SimulatorScenarioStack.h"

namespace {

constexpr const char16_t* kReader = u"Sim Reader 0";

}  // namespace

SimulatorScenarioStack::SimulatorScenarioStack() {
    m_simulator.AddReader(kReader);
}

std::u16string SimulatorScenarioStack::ReaderName() const {
    return kReader;
}

void SimulatorScenarioStack::InsertCard(const std::vector<uint8_t>& atr) {
    Require(m_simulator.InsertCard(kReader, atr), "InsertCard: the reader holds a card already");
}

void SimulatorScenarioStack::RemoveCard() {
    Require(m_simulator.RemoveCard(kReader), "RemoveCard: the reader is empty");
}

void SimulatorScenarioStack::HoldCardExclusivelyElsewhere() {
    Require(m_simulator.HoldExclusively(kReader) == SCARD_S_SUCCESS,
            "HoldCardExclusivelyElsewhere: the card cannot be held exclusively");
}

void SimulatorScenarioStack::ReleaseCardElsewhere() {
    Require(m_simulator.ReleaseHeld(kReader), "ReleaseCardElsewhere: nothing is held");
}
