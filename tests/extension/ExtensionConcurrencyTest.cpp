// Transmit and Power resets on one object from two threads at once, over the simulator: every
// call answers a status its situation allows, the connection survives, no race is reported and
// no thread hangs. Built as its own program so that the ThreadSanitizer run picks it up.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "ExtensionHarness.h"
#include "TestCards.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr int kRounds = 400;
constexpr int kMaxRounds = 100 * kRounds;
// Only catches hangs: a loaded machine under ThreadSanitizer or Wine is slow, never this slow.
constexpr auto kHang = std::chrono::seconds(120);
// Counted in place of a success whose answer is not the card's.
constexpr uint32_t kWrongAnswer = 0xFFFFFFFF;

using StatusCounts = std::map<uint32_t, int>;

// Runs `call` on its own thread once all `runners` threads have started, so that their calls
// overlap from the first round: kRounds times, and while `until` is false at most kMaxRounds.
std::future<StatusCounts> Rounds(std::atomic<int>& runners, const std::atomic<bool>* until,
                                 std::function<uint32_t(int)> call) {
    return std::async(std::launch::async, [&runners, until, call] {
        StatusCounts counts;
        runners.fetch_sub(1);
        while (runners.load() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (int round = 0;
             round < kRounds || (round < kMaxRounds && until != nullptr && !until->load());
             ++round) {
            ++counts[call(round)];
        }
        return counts;
    });
}

// The outcome of a run; a status outside `allowed` fails, named in hexadecimal with its count.
StatusCounts Outcome(std::future<StatusCounts>& run, const std::set<uint32_t>& allowed) {
    if (run.wait_for(kHang) != std::future_status::ready) {
        ADD_FAILURE() << "a thread did not finish its rounds";
        std::abort();  // a blocked thread cannot be joined
    }
    const StatusCounts counts = run.get();
    for (const auto& [status, count] : counts) {
        EXPECT_EQ(allowed.count(status), 1u)
            << std::hex << "0x" << status << std::dec << " (" << count << " times)";
    }
    return counts;
}

// The object's own resets never warn its own handle, so Transmit sees either the card (0) or,
// while a cold reset has the card disconnected, no card at all (no media); every reset succeeds.
// A third thread may reset the card the way another application or the reader would: Transmit may
// then also meet the reset warning, and a reset that reads the status just after such a reset
// answers no media, but keeps the card.
TEST(ExtensionConcurrency, TransmitDuringResetsSeesTheCardOrNoMediaAndKeepsTheCard) {
    for (const bool outsideResets : {false, true}) {
        SCOPED_TRACE(outsideResets ? "with resets from outside" : "own resets only");
        ConnectedHarness h;
        h.access.OpenGate();  // as the host's absence check does
        std::atomic<int> runners{outsideResets ? 3 : 2};
        std::atomic<bool> resetsDone{false};
        auto transmits = Rounds(runners, &resetsDone, [&h](int) {
            const auto [status, answer] = h.TransmitSelect();
            return status == ZEPH_STATUS_SUCCESS && answer != kStatusOk ? kWrongAnswer : status;
        });
        auto resets = Rounds(runners, nullptr, [&](int round) {
            const auto [status, atr] =
                h.Power(round % 2 == 0 ? ZEPH_POWER_WARM_RESET : ZEPH_POWER_COLD_RESET);
            resetsDone = resetsDone || round + 1 == kRounds;
            return status == ZEPH_STATUS_SUCCESS && atr != kPredefinedAtr ? kWrongAnswer : status;
        });
        std::future<StatusCounts> outside;
        if (outsideResets) {
            outside = Rounds(runners, &resetsDone, [&h](int) {
                return h.simulator.ResetCard(ExtensionHarness::kReader) ? 0u : 1u;
            });
        }
        Outcome(transmits, {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA,
                            outsideResets ? SCARD_W_RESET_CARD : ZEPH_STATUS_SUCCESS});
        const StatusCounts reset = Outcome(
            resets,
            {ZEPH_STATUS_SUCCESS, outsideResets ? ZEPH_STATUS_NO_MEDIA : ZEPH_STATUS_SUCCESS});
        if (outsideResets) {
            Outcome(outside, {0u});
        } else {
            // Which transmissions fall between the resets is the scheduler's choice: on a loaded
            // machine none may; the card is served again at the end (below).
            EXPECT_EQ(reset.at(ZEPH_STATUS_SUCCESS), kRounds);
        }
        EXPECT_GT(reset.count(ZEPH_STATUS_SUCCESS), 0u);
        // A warning from outside is taken by one call; a reset clears it, and the object still
        // holds the card, exclusively and once, and serves the host.
        EXPECT_EQ(h.Power(ZEPH_POWER_WARM_RESET).first, ZEPH_STATUS_SUCCESS);
        EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
        EXPECT_EQ(h.simulator.Connections().size(), 1u);
        EXPECT_EQ(h.simulator.OpenContexts(), 1u);
        EXPECT_EQ(h.TransmitSelect(), std::make_pair(ZEPH_STATUS_SUCCESS, kStatusOk));
    }
}

}  // namespace
