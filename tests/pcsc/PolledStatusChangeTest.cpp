// The status-change wait the WinSCard backend keeps under Wine 10 (PolledStatusChange.h), over a
// platform that answers at once with the states a row gives, and writes the current states over.
// Its infinite waits (ended by a change, a Cancel or a release) run in the shared scenarios of the
// Wine 10 stage.
#include "pcsc/winscard/PolledStatusChange.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
