// The shared scenarios over the real Linux stack (pcscd + vpcd + zeph_vcard, pcsc-lite backend).
#include "ScenarioFixture.h"

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario, ::testing::Values("RealStack"),
                         [](const auto& target) { return target.param; });
