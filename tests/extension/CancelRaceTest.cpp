// A Cancel in the windows between IsPresent's steps, made deterministic with a PC/SC stand-in
// that stops a call at the window: the wait ends as cancelled, the Cancel is delivered once, and
// the object is left usable. Also two connections racing for the card, and what the object's lock
// keeps out, checked with the lock held by the test. Built into the concurrency program so that
// the ThreadSanitizer run picks it up.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ExtensionHarness.h"
#include "WaitUntil.h"
#include "pcsc/PcScConstants.h"

using sim::Call;
using namespace std::chrono_literals;

namespace {

// Only catches hangs.
constexpr auto kHang = 10s;

template <typename Predicate>
bool Await(Predicate predicate) {
    return WaitUntil(predicate, kHang, 1ms);
}

// Whether some thread holds `lock` now, tried from a thread of its own: called from inside a
// PC/SC call, whether the object made that call under its lock.
bool HeldElsewhere(std::recursive_mutex& lock) {
    return std::async(std::launch::async,
                      [&lock] {
                          if (!lock.try_lock()) {
                              return true;
                          }
                          lock.unlock();
                          return false;
                      })
        .get();
}

// Waits until the object's helper `method` has begun on another thread, then a while longer, so
// that the helper stands at the lock the test holds.
bool AwaitBegun(ExtensionHarness& h, const std::string& method) {
    const bool begun = Await([&] {
        const std::vector<std::string> texts = h.traces.Texts();
        return std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
            return text.starts_with("---> Beginn: CZephExtensionPcSc::" + method);
        });
    });
    std::this_thread::sleep_for(50ms);
    return begun;
}

struct EmptyReader : ExtensionHarness {
    EmptyReader() { simulator.RemoveCard(kReader); }
};

}  // namespace

// A platform whose release does not end waits, and a Cancel whose first SCardCancel lands after
// IsPresent checked the event but before it blocked: the Cancel still ends the wait.
TEST(CancelRace, CancelBetweenTheEventCheckAndTheWaitEndsTheWait) {
    EmptyReader h;
    std::atomic<ScardContext> released{0};
    h.pcsc.onReleaseContext = [&](ScardContext context) {
        released = context;
        return false;
    };
    std::future<void> cancel;
    int waits = 0;
    // The first wait returns at once with the readers' states; the second is the one that blocks.
    h.pcsc.beforeStatusChange = [&](uint32_t timeout) {
        if (timeout == SCARD_INFINITE && ++waits == 2) {
            const size_t cancelsBefore = h.simulator.CallCount(Call::Cancel);
            cancel = std::async(std::launch::async, [&h] { h.extension->Cancel(); });
            ASSERT_TRUE(Await([&] { return h.simulator.CallCount(Call::Cancel) > cancelsBefore; }));
        }
    };
    std::future<uint32_t> wait = h.AsyncIsPresent();
    const bool ended = wait.wait_for(kHang) == std::future_status::ready;
    if (!ended) {
        h.simulator.Cancel(h.simulator.Journal(Call::GetStatusChange).back().context);
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(wait.get(), ZEPH_STATUS_PENDING);
    cancel.get();
    h.simulator.ReleaseContext(released);
}

// The release blocks inside the platform while the host calls IsPresent again at once: the new
// call waits for a card on a new context and is not ended by the release of the old one.
TEST(CancelRace, IsPresentDuringASlowReleaseWaitsForTheCard) {
    EmptyReader h;
    std::promise<void> releaseMayEnd;
    std::shared_future<void> mayEnd = releaseMayEnd.get_future().share();
    std::atomic<bool> releasing{false};
    h.pcsc.onReleaseContext = [&](ScardContext) {
        releasing = true;
        mayEnd.wait();
        return true;
    };
    std::future<uint32_t> first = h.AsyncIsPresent();
    EXPECT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    std::future<void> cancel = std::async(std::launch::async, [&h] { h.extension->Cancel(); });
    const bool releaseStarted = Await([&] { return releasing.load(); });
    EXPECT_EQ(first.get(), ZEPH_STATUS_PENDING);
    const uint64_t blockedBefore = h.simulator.WaitsBlockedSoFar();
    std::future<uint32_t> second = h.AsyncIsPresent();
    const bool secondWaits = h.simulator.AwaitWaitsBlockedSoFar(blockedBefore + 1);
    releaseMayEnd.set_value();
    cancel.get();
    EXPECT_TRUE(releaseStarted);
    EXPECT_TRUE(secondWaits);
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout);
    h.simulator.InsertCard(ExtensionHarness::kReader, kPredefinedAtr);
    EXPECT_EQ(second.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.simulator.OpenConnections(), 1u);
    EXPECT_EQ(h.simulator.InvalidFrees(), 0u);
}

// The wait that a Cancel ends reports the cancellation, even when the context is gone by the
// time the wait's result is looked at.
TEST(CancelRace, CancelledWaitIsReportedAsCancelledAfterTheContextIsGone) {
    EmptyReader h;
    h.pcsc.afterStatusChange = [&](uint32_t result) {
        if (result == SCARD_E_CANCELLED) {
            ASSERT_TRUE(Await([&] { return h.access.Context() == 0; }));
        }
    };
    std::future<uint32_t> wait = h.AsyncIsPresent();
    EXPECT_TRUE(h.simulator.AwaitWaitersBlocked(1));
    h.extension->Cancel();
    EXPECT_EQ(wait.get(), ZEPH_STATUS_PENDING);
    EXPECT_TRUE(h.Traced(TRACE_WARNING, "IsPresent",
                         "SCardGetStatusChange wurde abgebrochen (SCardCancel)!"));
    EXPECT_FALSE(h.Traced(TRACE_DETAIL, "IsPresent", "sCardContext ist NULL"));
}

// Two connections of one object racing for the card: the second finds the first's connection
// under the lock and leaves it alone.
TEST(CancelRace, SecondConnectionFindsTheFirstUnderTheLock) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    std::future<bool> late;
    {
        std::unique_lock<std::recursive_mutex> held(h.access.Lock());
        h.traces.Clear();
        late = std::async(std::launch::async,
                          [&h] { return h.access.Connect(ExtensionHarness::kReader, false); });
        ASSERT_TRUE(AwaitBegun(h, "Helper_SCardConnect"));
        ASSERT_TRUE(h.access.Connect(ExtensionHarness::kReader, false));
    }
    EXPECT_FALSE(late.get());
    EXPECT_NE(h.access.Card(), 0u);
    EXPECT_EQ(h.simulator.OpenConnections(), 1u);
    EXPECT_EQ(h.simulator.CallCount(Call::Connect), 1u);
}

// The reader listing and the exchange with the card run under the object's lock, which a release
// takes to take the context and a disconnection to take the card.
TEST(CancelRace, ListingAndExchangeHoldTheLock) {
    ExtensionHarness h;
    std::vector<bool> held;
    h.pcsc.onListReaders = [&] { held.push_back(HeldElsewhere(h.access.Lock())); };
    h.pcsc.onTransmit = [&](uint32_t result, uint32_t, uint32_t*) {
        held.push_back(HeldElsewhere(h.access.Lock()));
        return result;
    };
    ASSERT_EQ(h.IsPresent(), ZEPH_STATUS_SUCCESS);
    ASSERT_EQ(h.TransmitSelect().first, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(held, std::vector<bool>({true, true}));
}

// While another thread holds the lock, a release waits for it before it takes the context, and
// the removal wait does not take a card that thread may be reconnecting (a cold reset) for gone.
TEST(CancelRace, ReleaseAndRemovalWaitForTheLockHeldElsewhere) {
    ExtensionHarness h;
    ASSERT_TRUE(h.access.GetContext());
    std::future<bool> release;
    std::future<uint32_t> absent;
    {
        std::unique_lock<std::recursive_mutex> held(h.access.Lock());
        h.traces.Clear();
        release = std::async(std::launch::async,
                             [&h] { return h.access.ReleaseContext(SCARD_LEAVE_CARD); });
        ASSERT_TRUE(AwaitBegun(h, "Helper_SCardReleaseContext"));
        EXPECT_NE(h.access.Context(), 0u);
        absent = h.Async([&h] { return h.extension->IsAbsent(); });
        EXPECT_EQ(absent.wait_for(100ms), std::future_status::timeout);
    }
    EXPECT_TRUE(release.get());
    EXPECT_EQ(absent.get(), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.access.Context(), 0u);
}
