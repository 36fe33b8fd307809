// The shared scenarios over the WinSCard backend on a real PC/SC service: the Windows build under
// Wine 10 in scripts/wine10-stage.sh, with zeph_stack_server changing the world behind it.
#include "ScenarioFixture.h"

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario, ::testing::Values("Wine10"),
                         [](const auto& target) { return target.param; });
