// The shared scenarios over the PC/SC simulator.
#include "ScenarioFixture.h"

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario, ::testing::Values("Simulator"),
                         [](const auto& target) { return target.param; });
