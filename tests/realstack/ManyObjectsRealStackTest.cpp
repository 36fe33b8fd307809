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
#include <thread>
#include <vector>

#include "StackFixture.h"
#include "TestCards.h"
#include "WaitUntil.h"

namespace realstack {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kReaders = 4;
constexpr size_t kObjects = 8;
constexpr auto kCycling = 4s;
// A loaded machine (sanitizers, parallel builds) may need longer for the first cycles.
constexpr std::chrono::milliseconds kCyclingAtMost = 56s;
constexpr std::chrono::milliseconds kEnding = 30s;

class ManyObjectsRealStackTest : public StackFixture {
  protected:
    ManyObjectsRealStackTest() : StackFixture({kReaders / 2}) {}
};

std::string Text(const Bytes& name) {
    return std::string(name.begin(), std::find(name.begin(), name.end(), 0));
}

TEST_F(ManyObjectsRealStackTest, EachReaderIsHeldByOneObjectAtATime) {
    for (unsigned slot = 0; slot < kReaders; ++slot) {
        Stack().StartCard({}, slot);
    }
    std::vector<ObjectPtr> objects;
    std::atomic<int> notifications{0};
    for (size_t i = 0; i < kObjects; ++i) {
        objects.push_back(NewObject());
        objects.back()->m_pNotifyContext = &notifications;
        objects.back()->m_pfnNotify = [](const ZephNotification*, void* context) {
            ++*static_cast<std::atomic<int>*>(context);
        };
    }
    std::mutex mutex;
    std::map<std::string, size_t> holder;  // reader -> object
    std::atomic<int> cycles{0};
    std::vector<std::string> failures;
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
                Bytes name(258);
                uint64_t length = name.size();
                object.GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, name.data(), &length);
                const std::string reader = Text(name);
                {
                    const std::lock_guard lock(mutex);
                    if (!holder.emplace(reader, i).second) {
                        failures.push_back(reader + " connected by objects " +
                                           std::to_string(holder[reader]) + " and " +
                                           std::to_string(i));
                    }
                }
                uint8_t response[258] = {};
                uint64_t received = sizeof response;
                const uint32_t status = object.Transmit(
                    &t1, kSelectMasterFile.data(), kSelectMasterFile.size(), response, &received);
                {
                    const std::lock_guard lock(mutex);
                    if ((status != ZEPH_STATUS_SUCCESS || received != 2 || response[0] != 0x90) &&
                        !stop) {
                        failures.push_back("Transmit on " + reader + " returned " +
                                           std::to_string(status));
                    }
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
    while (ended.load() < kObjects) {
        for (const ObjectPtr& object : objects) {
            object->Cancel();
        }
        std::this_thread::sleep_for(200ms);
    }
    for (std::thread& host : hosts) {
        host.join();
    }
    for (const std::string& failure : failures) {
        ADD_FAILURE() << failure;
    }
    EXPECT_GE(cycles.load(), static_cast<int>(kObjects)) << "the objects hardly cycled";
}

}  // namespace
}  // namespace realstack
