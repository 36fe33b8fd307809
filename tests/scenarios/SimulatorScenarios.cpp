// The shared scenarios over the PC/SC simulator.
#include "ScenarioFixture.h"
#include "SimulatorScenarioStack.h"

std::unique_ptr<ScenarioStack> MakeScenarioStack() {
    return std::make_unique<SimulatorScenarioStack>();
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario, ::testing::Values("Simulator"),
                         [](const auto& target) { return target.param; });
