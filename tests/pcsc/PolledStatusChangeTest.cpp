// The status-change wait the WinSCard backend keeps under Wine 10 (PolledStatusChange.h), over a
// platform that answers at once with the states a row gives, and writes the current states over.
#include "pcsc/winscard/PolledStatusChange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>

#include "pcsc/PcScConstants.h"

namespace {

constexpr ScardContext kContext = 7;

// Answers every entry with `event` (a reader named "gone" fails the call, as pcsc-lite does), and
// sets the current states to 0, as Wine's winscard does.
PolledStatusChange::Query Platform(const std::atomic<uint32_t>& event) {
    return [&event](PcScReaderState* states, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            if (std::u16string(states[i].szReader) == u"gone") {
                return SCARD_E_UNKNOWN_READER;
            }
            states[i].dwEventState = event;
            states[i].dwCurrentState = 0;
        }
        return SCARD_S_SUCCESS;
    };
}

TEST(PolledStatusChange, JudgesEachEntryAgainstTheCallersStateAndKeepsIt) {
    constexpr uint32_t kCard = SCARD_STATE_PRESENT | 0x10000;
    const struct {
        const char16_t* reader;
        uint32_t current;
        uint32_t platform;
        uint32_t result;
        uint32_t event;
    } rows[] = {
        {u"r", SCARD_STATE_UNAWARE, SCARD_STATE_EMPTY, 0, SCARD_STATE_EMPTY | SCARD_STATE_CHANGED},
        {u"r", SCARD_STATE_EMPTY | SCARD_STATE_CHANGED, SCARD_STATE_EMPTY, SCARD_E_TIMEOUT,
         SCARD_STATE_EMPTY},
        {u"r", kCard | SCARD_STATE_CHANGED | SCARD_STATE_ATRMATCH, kCard, SCARD_E_TIMEOUT, kCard},
        {u"r", kCard, SCARD_STATE_PRESENT | 0x20000, 0,
         SCARD_STATE_PRESENT | 0x20000 | SCARD_STATE_CHANGED},
        {u"r", SCARD_STATE_EMPTY, kCard | SCARD_STATE_EXCLUSIVE, 0,
         kCard | SCARD_STATE_EXCLUSIVE | SCARD_STATE_CHANGED},
        {kPnPNotificationReader, 2u << 16, 2u << 16, SCARD_E_TIMEOUT, 2u << 16},
        {kPnPNotificationReader, 1u << 16, (2u << 16) | SCARD_STATE_EMPTY, 0,
         (2u << 16) | SCARD_STATE_CHANGED},
        {u"gone", SCARD_STATE_EMPTY, 0, 0,
         SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE},
    };
    for (const auto& row : rows) {
        PolledStatusChange polled;
        const std::atomic<uint32_t> event{row.platform};
        PcScReaderState states[2] = {{u"other", nullptr, SCARD_STATE_IGNORE, 0x55, 0, {}},
                                     {row.reader, nullptr, row.current, 0, 0, {}}};
        EXPECT_EQ(polled.Run(kContext, 0, states, 2, Platform(event)), row.result) << row.current;
        EXPECT_EQ(states[1].dwEventState, row.event) << row.current;
        EXPECT_EQ(states[1].dwCurrentState, row.current) << "the caller's state is kept";
        EXPECT_EQ(states[0].dwEventState & SCARD_STATE_CHANGED, 0u) << "an ignored entry";
    }
}

TEST(PolledStatusChange, InfiniteWaitEndsOnAChangeOrACancelOrReleaseOfItsContextOnly) {
    PolledStatusChange polled;
    std::atomic<uint32_t> event{SCARD_STATE_EMPTY};
    polled.Cancel(kContext);  // before the wait: does not reach it
    PcScReaderState state{u"r", nullptr, SCARD_STATE_EMPTY, 0, 0, {}};
    EXPECT_EQ(polled.Run(kContext, 120, &state, 1, Platform(event)), SCARD_E_TIMEOUT);

    enum class End { Cancel, Release, Change };
    for (const End end : {End::Cancel, End::Release, End::Change}) {
        auto wait = std::async(std::launch::async, [&] {
            return polled.Run(kContext, SCARD_INFINITE, &state, 1, Platform(event));
        });
        polled.Cancel(kContext + 1);
        polled.Forget(kContext + 2);
        EXPECT_EQ(wait.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout)
            << "another context's Cancel or release, or no change yet";
        if (end == End::Cancel) {
            polled.Cancel(kContext);
        } else if (end == End::Release) {
            polled.Forget(kContext);
        } else {
            event.store(SCARD_STATE_PRESENT);
        }
        ASSERT_EQ(wait.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_EQ(wait.get(), end == End::Change ? SCARD_S_SUCCESS : SCARD_E_CANCELLED);
    }
}

}  // namespace
