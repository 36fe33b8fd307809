// Cancel racing IsPresent on the real module and the real stack, as hosts do it: a Cancel at any
// moment ends the pending call with STATUS_PENDING and leaves the object usable; many threads
// waiting on one object or on several while Cancels arrive every few milliseconds never hang and
// never fail without a Cancel to explain it.
#include <atomic>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "HostStackFixture.h"

namespace realstack {
namespace {

using namespace std::chrono_literals;

constexpr auto kStressTime = 10s;  // for each stress run

using StatusCounts = std::map<uint32_t, int>;

// Threads call IsPresent on their objects again and again while one thread cancels a random
// object every 1-15 ms. No card is in the reader, so every call can only end by a Cancel.
StatusCounts Stress(const std::vector<CZephExtensionAbstract*>& objects, int threadsPerObject) {
    std::atomic<bool> stop{false};
    std::atomic<size_t> ended{0};
    std::mutex mutex;
    StatusCounts counts;
    std::vector<std::thread> waiters;
    for (CZephExtensionAbstract* object : objects) {
        for (int t = 0; t < threadsPerObject; ++t) {
            waiters.emplace_back([&, object] {
                while (!stop.load()) {
                    const uint32_t status = object->IsPresent(nullptr, nullptr, nullptr, nullptr);
                    const std::lock_guard lock(mutex);
                    ++counts[status];
                }
                ++ended;
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
    while (ended.load() < waiters.size()) {
        for (CZephExtensionAbstract* object : objects) {
            object->Cancel();
        }
        std::this_thread::sleep_for(5ms);
    }
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    return counts;
}

class CancelRaceRealStackTest : public HostStackFixture {
  protected:
    // After the races the object still waits for a card and connects it exclusively.
    void ExpectUsable(CZephExtensionAbstract& object) {
        auto present = StartIsPresent(object);
        ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent did not wait";
        Stack().StartCard();
        const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
        ASSERT_TRUE(answer) << "IsPresent did not return after the insertion";
        EXPECT_EQ(answer->status, ZEPH_STATUS_SUCCESS);
    }
};

// A Cancel at a random moment of IsPresent, or (every fourth round) once it waits.
TEST_F(CancelRaceRealStackTest, CancelAtAnyMomentEndsIsPresentAsPendingOnce) {
    std::mt19937 random(6);
    for (int round = 0; round < 120; ++round) {
        auto present = StartIsPresent();
        if (round % 4 == 0) {
            ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "round " << round;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        }
        Object().Cancel();
        const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
        ASSERT_TRUE(answer) << "IsPresent hung in round " << round;
        ASSERT_EQ(answer->status, ZEPH_STATUS_PENDING) << "round " << round;
    }
    ExpectUsable(Object());
}

// Threads waiting on one object, or on each of several objects (the host makes one for each of
// its virtual readers).
class CancelStressRealStackTest : public CancelRaceRealStackTest,
                                  public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(CancelStressRealStackTest, ThreadsWaitingWhileCancelsArriveEndOnlyAsPending) {
    const auto [objectCount, threadsPerObject] = GetParam();
    std::vector<ObjectPtr> others;
    std::vector<CZephExtensionAbstract*> objects = {&Object()};
    while (static_cast<int>(objects.size()) < objectCount) {
        others.push_back(NewObject());
        objects.push_back(others.back().get());
    }
    const StatusCounts counts = Stress(objects, threadsPerObject);
    EXPECT_EQ(counts.size(), 1u);
    EXPECT_GT(counts.count(ZEPH_STATUS_PENDING), 0u);
    ExpectUsable(*objects.back());
}

INSTANTIATE_TEST_SUITE_P(Objects, CancelStressRealStackTest,
                         ::testing::Values(std::pair{1, 3}, std::pair{3, 2}));

}  // namespace
}  // namespace realstack
