// The shared scenarios over the PC/SC simulator.
#include "ScenarioFixture.h"
#include "SimulatorScenarioStack.h"

namespace {

ScenarioSetup MakeSimulatorStack() {
    auto stack = std::make_unique<SimulatorScenarioStack>();
    PcScSimulator& simulator = stack->Simulator();
    return {std::move(stack), [&simulator](ScardContext) { return simulator.WaitersBlocked(); }};
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario,
                         ::testing::Values(ScenarioTarget{"Simulator", &MakeSimulatorStack}),
                         ScenarioTargetName);

}  // namespace
