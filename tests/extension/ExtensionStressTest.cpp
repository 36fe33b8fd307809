// Cancel racing the host's other operations from several threads, over the simulator: every call
// returns one of its defined statuses, nothing deadlocks and nothing is left open.
#include <atomic>
#include <future>
#include <set>
#include <thread>

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr int kRounds = 40;

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
    auto exchange = std::async(std::launch::async, [&] {
        while (!done) {
            ExpectOneOf(h.TransmitSelect().first,
                        {ZEPH_STATUS_SUCCESS, ZEPH_STATUS_NO_MEDIA, SCARD_E_INVALID_HANDLE,
                         SCARD_W_RESET_CARD, SCARD_W_REMOVED_CARD},
                        "Transmit");
            uint32_t state = 0;
            uint32_t protocol = 0;
            ExpectOneOf(h.extension->GetState(&state, &protocol), {ZEPH_STATUS_SUCCESS},
                        "GetState");
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        h.extension->Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done = true;
    h.extension->Cancel();
    ASSERT_EQ(presence.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    ASSERT_EQ(exchange.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    presence.get();
    exchange.get();
    h.extension->Cancel();
    EXPECT_EQ(h.simulator.OpenContexts(), 0u);
    EXPECT_TRUE(h.simulator.Connections().empty());
    EXPECT_EQ(h.simulator.OutstandingAllocations(), 0u);
}
