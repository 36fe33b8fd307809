// Cancel racing the host's other operations from several threads, over the simulator: every call
// returns one of its defined statuses, nothing deadlocks, nothing is left open, and the next
// IsPresent takes the card again.
#include <atomic>
#include <future>
#include <set>
#include <thread>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

namespace {

// Cancels, one after the other, while the other threads run (about 1 s in the Release build).
constexpr int kRounds = 10000;
constexpr int kPowerDownsPerReset = 500;

void ExpectOneOf(uint32_t status, const std::set<uint32_t>& allowed, const char* operation) {
    EXPECT_TRUE(allowed.count(status) == 1) << operation << " returned 0x" << std::hex << status;
}

}  // namespace

TEST(ExtensionStress, CancelRacingEveryWaitAndExchange) {
    ExtensionHarness h;
    h.traces.SetLevels(TRACE_EXCEPTION | TRACE_ERROR);
    std::atomic<bool> done{false};
    auto presence = std::async(std::launch::async, [&] {
        for (int i = 0; i < kRounds && !done; ++i) {
            ExpectOneOf(
                h.extension->IsPresent(nullptr, nullptr, nullptr, nullptr),
                {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_PENDING, ZEPH_STATUS_INVALID_DEVICE_STATE},
                "IsPresent");
            ExpectOneOf(h.extension->IsAbsent(), {ZEPH_STATUS_SUCCESS}, "IsAbsent");
        }
    });
    // Power downs race the Cancels' releases of the context; a warm reset now and then, as each
    // one that finds the access gate closed holds the object's lock for its 100 ms gate test.
    auto power = std::async(std::launch::async, [&] {
        for (int i = 0; !done; ++i) {
            ExpectOneOf(
                h.Power(i % kPowerDownsPerReset == 0 ? ZEPH_POWER_WARM_RESET : ZEPH_POWER_DOWN)
                    .first,
                {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA}, "Power");
        }
    });
    auto exchange = std::async(std::launch::async, [&] {
        while (!done) {
            ExpectOneOf(h.TransmitSelect().first,
                        {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA, SCARD_E_INVALID_HANDLE,
                         SCARD_W_RESET_CARD, SCARD_W_REMOVED_CARD},
                        "Transmit");
            ExpectOneOf(std::get<0>(h.State()), {ZEPH_STATUS_SUCCESS}, "GetState");
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        h.extension->Cancel();
        std::this_thread::yield();
    }
    done = true;
    h.extension->Cancel();
    for (auto* thread : {&presence, &exchange, &power}) {
        ASSERT_EQ(thread->wait_for(std::chrono::seconds(30)), std::future_status::ready);
        thread->get();
    }
    // The last Cancel may still be pending for the next IsPresent, which then delivers it.
    const uint32_t next = h.IsPresent();
    EXPECT_TRUE(next == ZEPH_STATUS_SUCCESS ||
                (next == ZEPH_STATUS_PENDING && h.IsPresent() == ZEPH_STATUS_SUCCESS));
    h.extension->Cancel();
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    EXPECT_EQ(h.simulator.OpenConnections(), 0u);
    EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
}
