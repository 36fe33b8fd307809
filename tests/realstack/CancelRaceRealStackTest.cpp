// Cancel racing IsPresent on the real module and the real stack, as hosts do it: a Cancel at any
// moment ends the pending call with STATUS_PENDING and leaves the object usable; many threads
// waiting on one object or on several while Cancels arrive every few milliseconds never hang and
// never fail without a Cancel to explain it; Cancels racing the whole cycle with a card inside end
// every call with one of its defined statuses.
#include <atomic>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StackFixture.h"
#include "TestCards.h"

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

class CancelRaceRealStackTest : public StackFixture {
  protected:
    // After the races the object still waits for a card and connects it exclusively.
    void ExpectUsable(CZephExtensionAbstract& object) {
        auto present = StartIsPresent(object);
        ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent did not wait";
        Stack().StartCard();
        EXPECT_EQ(present->Get(kCallTimeout).value_or(PresentAnswer{1, {}, 0}).status,
                  ZEPH_STATUS_SUCCESS);
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
        ASSERT_EQ(present->Get(kCallTimeout).value_or(PresentAnswer{1, {}, 0}).status,
                  ZEPH_STATUS_PENDING)
            << "round " << round;
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

// The host's threads run the cycle (IsPresent then IsAbsent; Transmit and GetState; warm resets)
// against a card in the reader while another thread cancels every 0-2 ms.
TEST_F(CancelRaceRealStackTest, CancelsRacingTheWholeCycleLeaveDefinedStatusesOnly) {
    constexpr int kRounds = 1000;
    Stack().InsertCard();
    std::atomic<bool> done{false};
    std::mutex mutex;
    std::map<std::string, StatusCounts> seen;  // by operation
    const auto count = [&](const char* operation, uint32_t status) {
        const std::lock_guard lock(mutex);
        ++seen[operation][status];
    };
    CZephExtensionAbstract& object = Object();
    std::vector<std::thread> host;
    host.emplace_back([&] {
        while (!done) {
            count("IsPresent", object.IsPresent(nullptr, nullptr, nullptr, nullptr));
            count("IsAbsent", object.IsAbsent());
        }
    });
    host.emplace_back([&] {
        while (!done) {
            count("Transmit", Transmit(kSelectMasterFile).status);
            uint32_t state = 0;
            uint32_t protocol = 0;
            count("GetState", object.GetState(&state, &protocol));
        }
    });
    host.emplace_back([&] {
        while (!done) {
            count("Power", Power(ZEPH_POWER_WARM_RESET).status);
        }
    });
    std::mt19937 random(2027);
    for (int round = 0; round < kRounds; ++round) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        object.Cancel();
    }
    done = true;
    object.Cancel();
    for (std::thread& thread : host) {
        thread.join();  // a hang fails by the test's timeout
    }
    const std::map<std::string, std::set<uint32_t>> defined = {
        {"IsPresent", {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_PENDING}},
        {"IsAbsent", {ZEPH_STATUS_SUCCESS}},
        {"GetState", {ZEPH_STATUS_SUCCESS}},
        {"Transmit", {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA}},
        {"Power", {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA}},
    };
    for (const auto& [operation, counts] : seen) {
        for (const auto& [status, times] : counts) {
            EXPECT_EQ(defined.at(operation).count(status), 1u)
                << operation << " returned 0x" << std::hex << status << std::dec << " " << times
                << " times";
        }
    }
    // The last Cancel may still wait for the next IsPresent, which then delivers it.
    uint32_t next = object.IsPresent(nullptr, nullptr, nullptr, nullptr);
    if (next == ZEPH_STATUS_PENDING) {
        next = object.IsPresent(nullptr, nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(next, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(Transmit(kSelectMasterFile).data, kStatusOk);
}

INSTANTIATE_TEST_SUITE_P(Objects, CancelStressRealStackTest,
                         ::testing::Values(std::pair{1, 3}, std::pair{3, 2}));

}  // namespace
}  // namespace realstack
