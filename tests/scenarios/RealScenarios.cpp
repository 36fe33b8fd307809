// The shared scenarios over the real Linux stack (pcscd + vpcd + zeph_vcard, pcsc-lite backend).
#include "RealScenarioStack.h"
#include "ScenarioFixture.h"

std::unique_ptr<ScenarioStack> MakeScenarioStack() {
    return std::make_unique<RealScenarioStack>();
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario, ::testing::Values("RealStack"),
                         [](const auto& target) { return target.param; });
