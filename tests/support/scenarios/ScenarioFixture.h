// The shared PC/SC scenarios: written once against ScenarioStack and run over every stack that
// provides one (the simulator, and the real Linux stack of pcscd + vpcd + virtual card), so that
// the simulator's fidelity to the real stack is measured. Each stack's program instantiates the
// suite PcScScenario with the stack's name and links the stack's source, which defines
// MakeScenarioStack.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "ScenarioStack.h"
#include "pcsc/PcScApi.h"
#include "pcsc/PcScConstants.h"

// The parameter is the stack's name.
class PcScScenario : public ::testing::TestWithParam<std::string> {
  protected:
    // Long enough to mean "hung" on a loaded machine under a sanitizer; a call that blocks where
    // WinSCard answers at once runs into it.
    static constexpr std::chrono::seconds kDeadline{10};

    void SetUp() override;
    void TearDown() override;

    PcScApi& Api() { return m_stack->Api(); }
    ScenarioStack& Stack() { return *m_stack; }
    const std::u16string& Reader() const { return m_reader; }
    // A context established for the scenario; more come from NewContext. All are released at
    // the end unless the scenario released them.
    ScardContext Context() const { return m_context; }
    ScardContext NewContext();

    // Waits (up to the deadline) until `count` status-change waits are in progress on `context`.
    bool AwaitWaits(ScardContext context, size_t count);
    // The scenario reader's state record, filled in by a status change that does not wait;
    // Known: with that state as the caller's current state, so that a wait waits.
    PcScReaderState ReaderState(ScardContext context);
    PcScReaderState Known(ScardContext context);
    std::vector<std::u16string> ListedReaders(ScardContext context);
    uint32_t Connect(ScardContext context, ScardHandle* card,
                     uint32_t shareMode = SCARD_SHARE_EXCLUSIVE);
    // SELECT of the master file over T=1 into a buffer of `capacity` bytes; the answer, if asked
    // for, is what the call left in the buffer.
    uint32_t Select(ScardHandle card, std::vector<uint8_t>* answer = nullptr,
                    uint32_t* capacity = nullptr);

    // Starts `call` on a thread of its own.
    template <typename Call>
    static auto Start(Call call) {
        return std::async(std::launch::async, std::move(call));
    }

    // True when `call` finishes within the deadline. Otherwise `rescue` ends it, so that the
    // scenario fails instead of hanging, and the answer is false.
    template <typename T>
    static bool Finishes(std::future<T>& call, const std::function<void()>& rescue) {
        if (call.wait_for(kDeadline) == std::future_status::ready) {
            return true;
        }
        rescue();
        call.wait();
        return false;
    }

  private:
    std::unique_ptr<ScenarioStack> m_stack;
    std::u16string m_reader;
    ScardContext m_context = 0;
    std::vector<ScardContext> m_contexts;
};
