// The shared scenarios over the real Linux stack (pcscd + vpcd + zeph_vcard, pcsc-lite backend).
#include "RealScenarioStack.h"
#include "ScenarioFixture.h"

namespace {

ScenarioSetup MakeRealStack() {
    auto stack = std::make_unique<RealScenarioStack>();
    auto& backend = stack->Backend();
    return {std::move(stack),
            [&backend](ScardContext context) { return backend.OpenWaits(context); }};
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario,
                         ::testing::Values(ScenarioTarget{"RealStack", &MakeRealStack}),
                         ScenarioTargetName);

}  // namespace
