// Cancel racing IsPresent on the real module and the real stack, as hosts do it: many threads
// waiting on one object or on several while Cancels arrive every few milliseconds never hang and
// never fail without a Cancel to explain it; Cancels racing the whole cycle with a card inside end
// every call with one of its defined statuses.
//
// Many objects of the module on the readers of one pcscd, as a host with a virtual reader for each
// of them: eight objects run the host's cycle over four readers with a card each. A reader is
// connected by one object at a time, every object keeps cycling, and all end when pcscd stops.
//
// Each object has a PC/SC context of its own, so a reader another object holds looks to the
// module like a reader another application holds: the waiting objects report it to the host as a
// sharing violation (once for each change of that reader) and leave it alone.
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StackFixture.h"
#include "TestCards.h"
#include "WaitUntil.h"

namespace realstack {
namespace {

using namespace std::chrono_literals;

constexpr auto kStressTime = 10s;  // for each stress run

// Cancels the objects until each of the threads has ended, then joins them; a call that never ends
// fails by the test's timeout.
void CancelUntilJoined(const std::vector<CZephExtensionAbstract*>& objects,
                       const std::atomic<size_t>& ended, std::vector<std::thread>& threads) {
    while (ended.load() < threads.size()) {
        for (CZephExtensionAbstract* object : objects) {
            object->Cancel();
        }
        std::this_thread::sleep_for(5ms);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

using CancelRaceRealStackTest = StackFixture;

// Threads waiting on one object, or on each of several objects (the host makes one for each of
// its virtual readers). After the races the last object still waits for a card and connects it.
class CancelStressRealStackTest : public CancelRaceRealStackTest,
                                  public ::testing::WithParamInterface<std::pair<int, int>> {};

// Threads call IsPresent on their objects again and again while one thread cancels a random
// object every 1-15 ms. No card is in the reader, so every call can only end by a Cancel: each
// must end as pending.
TEST_P(CancelStressRealStackTest, ThreadsWaitingWhileCancelsArriveEndOnlyAsPending) {
    const auto [objectCount, threadsPerObject] = GetParam();
    std::vector<ObjectPtr> others;
    std::vector<CZephExtensionAbstract*> objects = {&Object()};
    while (static_cast<int>(objects.size()) < objectCount) {
        others.push_back(NewObject());
        objects.push_back(others.back().get());
    }
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::atomic<size_t> ended{0};
    std::vector<std::thread> waiters;
    for (CZephExtensionAbstract* object : objects) {
        for (int t = 0; t < threadsPerObject; ++t) {
            waiters.emplace_back([&, object] {
                while (!stop.load()) {
                    EXPECT_EQ(object->IsPresent(nullptr, nullptr, nullptr, nullptr),
                              ZEPH_STATUS_PENDING);
                    ++calls;
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
    CancelUntilJoined(objects, ended, waiters);
    EXPECT_GT(calls.load(), 0);
    auto present = StartIsPresent(*objects.back());
    ASSERT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent did not wait";
    Stack().StartCard();
    EXPECT_EQ(present->Get(kCallTimeout).value_or(PresentAnswer{1, {}, 0}).status,
              ZEPH_STATUS_SUCCESS);
}

// The host's threads run the cycle (IsPresent then IsAbsent; Transmit and GetState; warm resets)
// against a card in the reader while another thread cancels every 0-2 ms: every call ends with
// one of its defined statuses.
TEST_F(CancelRaceRealStackTest, CancelsRacingTheWholeCycleLeaveDefinedStatusesOnly) {
    constexpr int kRounds = 1000;
    Stack().InsertCard();
    std::atomic<bool> done{false};
    const auto expectOneOf = [](const char* operation, uint32_t status,
                                const std::set<uint32_t>& defined) {
        EXPECT_EQ(defined.count(status), 1u) << operation << " returned 0x" << std::hex << status;
    };
    CZephExtensionAbstract& object = Object();
    const std::set<uint32_t> successOrNoMedia = {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA};
    std::vector<std::thread> host;
    host.emplace_back([&] {
        while (!done) {
            expectOneOf("IsPresent", object.IsPresent(nullptr, nullptr, nullptr, nullptr),
                        {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_PENDING});
            expectOneOf("IsAbsent", object.IsAbsent(), {ZEPH_STATUS_SUCCESS});
        }
    });
    host.emplace_back([&] {
        while (!done) {
            expectOneOf("Transmit", Transmit(kSelectMasterFile).status, successOrNoMedia);
            uint32_t state = 0;
            uint32_t protocol = 0;
            expectOneOf("GetState", object.GetState(&state, &protocol), {ZEPH_STATUS_SUCCESS});
        }
    });
    host.emplace_back([&] {
        while (!done) {
            expectOneOf("Power", Power(ZEPH_POWER_WARM_RESET).status, successOrNoMedia);
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

constexpr unsigned kReaders = 4;
constexpr size_t kObjects = 8;
constexpr auto kCycling = 4s;
// A loaded machine (sanitizers, parallel builds) may need longer for the first cycles.
constexpr std::chrono::milliseconds kCyclingAtMost = 56s;
constexpr std::chrono::milliseconds kEnding = 30s;

class ManyObjectsRealStackTest : public StackFixture {
  protected:
    ManyObjectsRealStackTest() : StackFixture(kReaders / 2) {}
};

TEST_F(ManyObjectsRealStackTest, EachReaderIsHeldByOneObjectAtATime) {
    for (unsigned slot = 0; slot < kReaders; ++slot) {
        Stack().StartCard({}, slot);
    }
    std::vector<ObjectPtr> owned;
    std::vector<CZephExtensionAbstract*> objects;
    for (size_t i = 0; i < kObjects; ++i) {
        owned.push_back(NewObject());
        objects.push_back(owned.back().get());
    }
    std::mutex mutex;
    std::map<std::string, size_t> holder;  // reader -> object
    std::atomic<int> cycles{0};
    std::atomic<bool> stop{false};
    std::atomic<size_t> ended{0};
    std::vector<std::thread> hosts;
    for (size_t i = 0; i < kObjects; ++i) {
        hosts.emplace_back([&, i] {
            CZephExtensionAbstract& object = *objects[i];
            const ZephSendHeader t1{kProtocolT1, sizeof(ZephSendHeader)};
            while (!stop) {
                if (object.IsPresent(nullptr, nullptr, nullptr, nullptr) != ZEPH_STATUS_SUCCESS) {
                    continue;  // cancelled at the end
                }
                char name[258] = {};
                uint64_t length = sizeof name - 1;
                object.GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, reinterpret_cast<uint8_t*>(name),
                                    &length);
                const std::string reader(name);
                {
                    const std::lock_guard lock(mutex);
                    EXPECT_TRUE(holder.emplace(reader, i).second)
                        << reader << " connected by objects " << holder[reader] << " and " << i;
                }
                uint8_t response[258] = {};
                uint64_t received = sizeof response;
                const uint32_t status = object.Transmit(
                    &t1, kSelectMasterFile.data(), kSelectMasterFile.size(), response, &received);
                EXPECT_TRUE(stop ||
                            (status == ZEPH_STATUS_SUCCESS && received == 2 && response[0] == 0x90))
                    << "Transmit on " << reader << " returned " << status;
                {
                    const std::lock_guard lock(mutex);
                    holder.erase(reader);  // before the power down lets the card go
                    ++cycles;
                }
                uint32_t atrLength = 0;
                object.Power(ZEPH_POWER_DOWN, nullptr, &atrLength);
            }
            ++ended;
        });
    }
    std::this_thread::sleep_for(kCycling);
    WaitUntil([&] { return cycles >= static_cast<int>(kObjects); }, kCyclingAtMost, 50ms);
    stop = true;
    // The objects still waiting for a reader end as a host sees the service go: pcscd stops and
    // each IsPresent returns the service's failure.
    Stack().StopPcscd();
    EXPECT_TRUE(WaitUntil([&] { return ended == kObjects; }, kEnding, 20ms))
        << "objects still waiting after the service stopped";
    CancelUntilJoined(objects, ended, hosts);
    EXPECT_GE(cycles.load(), static_cast<int>(kObjects)) << "the objects hardly cycled";
}

}  // namespace
}  // namespace realstack
