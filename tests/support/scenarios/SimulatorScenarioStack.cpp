#include "SimulatorScenarioStack.h"

SimulatorScenarioStack::SimulatorScenarioStack() {
    m_simulator.AddReader(ReaderName());
}

void SimulatorScenarioStack::InsertCard(const std::vector<uint8_t>& atr) {
    Require(m_simulator.InsertCard(ReaderName(), atr),
            "InsertCard: the reader holds a card already");
}

void SimulatorScenarioStack::RemoveCard() {
    Require(m_simulator.RemoveCard(ReaderName()), "RemoveCard: the reader is empty");
}

void SimulatorScenarioStack::HoldCardExclusivelyElsewhere() {
    Require(m_simulator.HoldExclusively(ReaderName()) == SCARD_S_SUCCESS,
            "HoldCardExclusivelyElsewhere: the card cannot be held exclusively");
}

void SimulatorScenarioStack::ReleaseCardElsewhere() {
    Require(m_simulator.ReleaseHeld(ReaderName()), "ReleaseCardElsewhere: nothing is held");
}
