// The shared scenarios over the WinSCard backend on a real PC/SC service: the Windows build under
// Wine 10 in scripts/wine10-stage.sh, with zeph_stack_server changing the world behind it.
#include "RemoteScenarioStack.h"
#include "ScenarioFixture.h"

namespace {

ScenarioSetup MakeWine10Stack() {
    auto stack = std::make_unique<RemoteScenarioStack>();
    const RemoteScenarioStack& remote = *stack;
    return {std::move(stack), [&remote](ScardContext) { return remote.WaitsInProgress(); }};
}

INSTANTIATE_TEST_SUITE_P(Stacks, PcScScenario,
                         ::testing::Values(ScenarioTarget{"Wine10", &MakeWine10Stack}),
                         ScenarioTargetName);

}  // namespace
