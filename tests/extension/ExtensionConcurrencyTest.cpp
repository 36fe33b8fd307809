// Transmit and Power resets on one object from two threads at once, over the simulator: every
// call answers a status its situation allows, the connection survives, no race is reported and
// no thread hangs. Built as its own program so that the ThreadSanitizer run picks it up.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ExtensionHarness.h"
#include "TestCards.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr int kRounds = 400;
constexpr int kMaxTransmits = 100 * kRounds;
// Only catches hangs: a loaded machine under ThreadSanitizer or Wine is slow, never this slow.
constexpr auto kHang = std::chrono::seconds(120);

// Counted in place of a success whose answer is not the card's.
constexpr uint32_t kWrongAnswer = 0xFFFFFFFF;

const ZephSendHeader kT1Header{SCARD_PROTOCOL_T1, 8};

// How often each status was answered.
using StatusCounts = std::map<uint32_t, int>;

// Lets the threads of a run start together, so that their calls overlap from the first round.
class StartLine {
  public:
    explicit StartLine(int runners) : m_waiting(runners) {}
    void Arrive() {
        m_waiting.fetch_sub(1);
        while (m_waiting.load() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

  private:
    std::atomic<int> m_waiting;
};

// Transmits for as long as the resets go on, at least kRounds and at most kMaxTransmits times.
StatusCounts TransmitRounds(CZephExtensionPcSc& extension, StartLine& start,
                            const std::atomic<bool>& resetsDone) {
    StatusCounts counts;
    start.Arrive();
    for (int round = 0; round < kMaxTransmits && (round < kRounds || !resetsDone.load()); ++round) {
        uint8_t response[64];
        uint64_t length = sizeof(response);
        const uint32_t status = extension.Transmit(&kT1Header, kSelectMasterFile.data(),
                                                   kSelectMasterFile.size(), response, &length);
        // A successful exchange carries the card's answer whole.
        if (status == ZEPH_STATUS_SUCCESS &&
            (length != 2 || response[0] != 0x90 || response[1] != 0x00)) {
            ++counts[kWrongAnswer];
            continue;
        }
        ++counts[status];
    }
    return counts;
}

// Warm and cold resets in turn, each returning the card's ATR.
StatusCounts ResetRounds(CZephExtensionPcSc& extension, StartLine& start, std::atomic<bool>& done) {
    StatusCounts counts;
    start.Arrive();
    for (int round = 0; round < kRounds; ++round) {
        uint8_t atr[36] = {};
        uint32_t length = sizeof(atr);
        const uint32_t action = round % 2 == 0 ? ZEPH_POWER_WARM_RESET : ZEPH_POWER_COLD_RESET;
        const uint32_t status = extension.Power(action, atr, &length);
        if (status == ZEPH_STATUS_SUCCESS &&
            std::vector<uint8_t>(atr, atr + std::min<uint32_t>(length, sizeof(atr))) !=
                kPredefinedAtr) {
            ++counts[kWrongAnswer];
            continue;
        }
        ++counts[status];
    }
    done.store(true);
    return counts;
}

StatusCounts Outcome(std::future<StatusCounts>& run) {
    if (run.wait_for(kHang) != std::future_status::ready) {
        ADD_FAILURE() << "a thread did not finish its rounds";
        std::abort();  // a blocked thread cannot be joined
    }
    return run.get();
}

// The statuses outside the allowed set, in hexadecimal with their counts; empty when none.
std::string Unexpected(const StatusCounts& counts, const std::set<uint32_t>& allowed) {
    std::string unexpected;
    for (const auto& [status, count] : counts) {
        if (allowed.count(status) == 0) {
            char text[48];
            std::snprintf(text, sizeof(text), "0x%08X (%d times) ", status, count);
            unexpected += text;
        }
    }
    return unexpected;
}

int CountOf(const StatusCounts& counts, uint32_t status) {
    const auto found = counts.find(status);
    return found != counts.end() ? found->second : 0;
}

// After the run the object still holds the card, exclusively and once, and serves the host.
void ExpectConnectionIntact(ExtensionHarness& h) {
    EXPECT_NE(h.access.Card(), 0u);
    EXPECT_EQ(h.access.ShareMode(), SCARD_SHARE_EXCLUSIVE);
    EXPECT_EQ(h.simulator.Connections().size(), 1u);
    EXPECT_EQ(h.simulator.OpenContexts(), 1u);
    EXPECT_EQ(h.TransmitSelect(), std::make_pair(ZEPH_STATUS_SUCCESS, kStatusOk));
}

class ExtensionConcurrency : public ::testing::Test {
  protected:
    void SetUp() override {
        h.ConnectCard();
        h.access.OpenGate();  // as the host's absence check does
    }

    ExtensionHarness h;
};

// The object's own resets never warn its own handle, so Transmit sees either the card (0) or,
// while a cold reset has the card disconnected, no card at all (no media). Every reset succeeds.
TEST_F(ExtensionConcurrency, TransmitDuringResetsSeesTheCardOrNoMedia) {
    StartLine start(2);
    std::atomic<bool> resetsDone{false};
    auto transmits = std::async(std::launch::async,
                                [&] { return TransmitRounds(*h.extension, start, resetsDone); });
    auto resets = std::async(std::launch::async,
                             [&] { return ResetRounds(*h.extension, start, resetsDone); });
    const StatusCounts transmitted = Outcome(transmits);
    const StatusCounts reset = Outcome(resets);

    EXPECT_EQ(Unexpected(transmitted, {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA}), "");
    EXPECT_GT(CountOf(transmitted, ZEPH_STATUS_SUCCESS), 0);
    EXPECT_EQ(Unexpected(reset, {ZEPH_STATUS_SUCCESS}), "");
    EXPECT_EQ(CountOf(reset, ZEPH_STATUS_SUCCESS), kRounds);
    ExpectConnectionIntact(h);
}

// A third thread resets the card the way another application or the reader would. Transmit may
// now also meet the reset warning; a reset may read the status just after such a reset and answer
// no media, but keeps the card.
TEST_F(ExtensionConcurrency, ResetsFromOutsideSurfaceOnlyAsResetWarnings) {
    StartLine start(3);
    std::atomic<bool> resetsDone{false};
    auto transmits = std::async(std::launch::async,
                                [&] { return TransmitRounds(*h.extension, start, resetsDone); });
    auto resets = std::async(std::launch::async,
                             [&] { return ResetRounds(*h.extension, start, resetsDone); });
    auto outside = std::async(std::launch::async, [&] {
        StatusCounts counts;
        start.Arrive();
        for (int round = 0; round < kMaxTransmits && (round < kRounds || !resetsDone.load());
             ++round) {
            ++counts[h.simulator.ResetCard(ExtensionHarness::kReader) ? 0u : 1u];
        }
        return counts;
    });
    const StatusCounts transmitted = Outcome(transmits);
    const StatusCounts reset = Outcome(resets);
    EXPECT_EQ(Unexpected(Outcome(outside), {0u}), "");

    EXPECT_EQ(
        Unexpected(transmitted, {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA, SCARD_W_RESET_CARD}),
        "");
    EXPECT_EQ(Unexpected(reset, {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA}), "");
    EXPECT_GT(CountOf(reset, ZEPH_STATUS_SUCCESS), 0);

    // The warning is taken by one call; a reset clears it, after which the card serves again.
    uint8_t atr[36] = {};
    uint32_t length = sizeof(atr);
    EXPECT_EQ(h.extension->Power(ZEPH_POWER_WARM_RESET, atr, &length), ZEPH_STATUS_SUCCESS);
    ExpectConnectionIntact(h);
}

}  // namespace
