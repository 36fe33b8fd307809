// Cancel racing IsPresent on the real module and the real stack, as hosts do it: a Cancel at any
// moment ends the pending call with STATUS_PENDING and leaves the object usable; many threads
// waiting on one object or on several while Cancels arrive every few milliseconds never hang and
// never fail without a Cancel to explain it. Also a cold reset into a buffer too small for the
// ATR, with guard bytes around it.
#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "HostStackFixture.h"

namespace hostrealstack {
namespace {

using namespace std::chrono_literals;
using realstack::VirtualCardProcess;

constexpr auto kStressTime = 10s;  // for each of the two stress runs

using StatusCounts = std::map<uint32_t, int>;

uint32_t WaitForAnyCard(CZephExtensionAbstract& object) {
    uint8_t atr[36] = {};
    uint64_t atrLength = sizeof(atr);
    uint32_t protocol = 0;
    return object.IsPresent(nullptr, atr, &atrLength, &protocol);
}

// Threads call IsPresent on their objects again and again while one thread cancels a random
// object every 1-15 ms. No card is in the reader, so every call can only end by a Cancel.
StatusCounts Stress(const std::vector<CZephExtensionAbstract*>& objects, int threadsPerObject) {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    StatusCounts counts;
    std::vector<std::thread> waiters;
    for (CZephExtensionAbstract* object : objects) {
        for (int t = 0; t < threadsPerObject; ++t) {
            waiters.emplace_back([&, object] {
                StatusCounts mine;
                while (!stop.load()) {
                    ++mine[WaitForAnyCard(*object)];
                }
                const std::lock_guard lock(mutex);
                for (const auto& [status, count] : mine) {
                    counts[status] += count;
                }
            });
        }
    }
    std::mt19937 random(20261206);
    const auto end = std::chrono::steady_clock::now() + kStressTime;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 15));
        objects[random() % objects.size()]->Cancel();
    }
    stop = true;
    // The last calls end by further Cancels; a call that never ends fails by the test's timeout.
    std::atomic<size_t> joined{0};
    std::thread canceller([&] {
        while (joined.load() < waiters.size()) {
            for (CZephExtensionAbstract* object : objects) {
                object->Cancel();
            }
            std::this_thread::sleep_for(5ms);
        }
    });
    for (std::thread& waiter : waiters) {
        waiter.join();
        ++joined;
    }
    canceller.join();
    return counts;
}

class CancelRaceRealStackTest : public HostStackFixture {
  protected:
    // After the races the object still waits for a card and connects it exclusively.
    void ExpectUsable(CZephExtensionAbstract& object) {
        auto present = StartIsPresent(object);
        ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent did not wait";
        StartCard();
        const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
        ASSERT_TRUE(answer) << "IsPresent did not return after the insertion";
        EXPECT_EQ(answer->status, ZEPH_STATUS_SUCCESS);
    }
};

TEST_F(CancelRaceRealStackTest, CancelAtAnyMomentEndsIsPresentAsPendingOnce) {
    std::mt19937 random(6);
    for (int round = 0; round < 120; ++round) {
        auto present = StartIsPresent();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        Object().Cancel();
        const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
        ASSERT_TRUE(answer) << "IsPresent hung in round " << round;
        ASSERT_EQ(answer->status, ZEPH_STATUS_PENDING) << "round " << round;
    }
    ExpectUsable(Object());
}

TEST_F(CancelRaceRealStackTest, ThreadsWaitingOnOneObjectWhileCancelsArrive) {
    const StatusCounts counts = Stress({&Object()}, 3);
    EXPECT_EQ(counts.size(), 1u);
    EXPECT_GT(counts.count(ZEPH_STATUS_PENDING), 0u);
    ExpectUsable(Object());
}

TEST_F(CancelRaceRealStackTest, ThreadsWaitingOnSeveralObjectsWhileCancelsArrive) {
    std::vector<ObjectPtr> others;
    std::vector<CZephExtensionAbstract*> objects = {&Object()};
    for (int i = 0; i < 2; ++i) {
        others.push_back(NewObject());
        objects.push_back(others.back().get());
    }
    const StatusCounts counts = Stress(objects, 2);
    EXPECT_EQ(counts.size(), 1u);
    EXPECT_GT(counts.count(ZEPH_STATUS_PENDING), 0u);
    ExpectUsable(*objects.back());
}

// The card's ATR does not fit the host's four bytes: each reset answers no media and nothing
// lands outside the four bytes.
TEST_F(CancelRaceRealStackTest, ResetsIntoABufferTooSmallForTheAtrStayWithinIt) {
    VirtualCardProcess* card = nullptr;
    ASSERT_EQ(ConnectCard(card).status, ZEPH_STATUS_SUCCESS);
    auto absent = StartIsAbsent();  // opens the gate for the resets' reconnections
    ASSERT_TRUE(absent->WaitUntilWaiting(kWaitingTimeout));
    for (const uint32_t action : {ZEPH_POWER_COLD_RESET, ZEPH_POWER_WARM_RESET}) {
        std::array<uint8_t, 48> memory;
        memory.fill(0xA5);
        uint32_t length = 4;
        EXPECT_EQ(Object().Power(action, memory.data() + 20, &length), ZEPH_STATUS_NO_MEDIA);
        EXPECT_TRUE(std::all_of(memory.begin(), memory.begin() + 20,
                                [](uint8_t byte) { return byte == 0xA5; }));
        EXPECT_TRUE(std::all_of(memory.begin() + 24, memory.end(),
                                [](uint8_t byte) { return byte == 0xA5; }))
            << "action " << action << " wrote past the buffer";
    }
}

}  // namespace
}  // namespace hostrealstack
