// Threads that trace at the same time; run under ThreadSanitizer through the "concurrency" label.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CapturingTraceSystem.h"
#include "tracing/TraceInterface.h"

namespace {

constexpr int kRounds = 200;

size_t CountStartingWith(const std::vector<std::string>& texts, const std::string& prefix) {
    return static_cast<size_t>(std::count_if(
        texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; }));
}

// The writers spin on trace calls after the load has failed; installing the trace system must
// not starve behind them. The deadline turns a starving installer into a failure, not a hang.
// The threads meet through atomics: std::latch of the MinGW runtime can miss its wake-up.
TEST(TracingConcurrencyTest, FirstLinesOfTwoThreadsRaceWithTheTraceSystemArriving) {
    TraceSystemLib::Instance().ResetForTesting();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto pastDeadline = [&] { return std::chrono::steady_clock::now() > deadline; };
    std::atomic<int> failedLoadsSeen{0};
    std::atomic<bool> installed{false};
    std::atomic<bool> timedOut{false};
    auto writer = [&](int id) {
        TRC_WriteFormat(TRACE_INFO, u"ZEPH.Ext.PcSc", u"early %d", id);
        ++failedLoadsSeen;
        while (!installed.load()) {
            TRC_WriteFormat(TRACE_INFO, u"ZEPH.Ext.PcSc", u"early %d", id);
            if (pastDeadline()) {
                timedOut = true;
                return;
            }
        }
        for (int i = 0; i < kRounds; ++i) {
            TRC_WriteFormat(TRACE_INFO, u"ZEPH.Ext.PcSc", u"late %d", id);
        }
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    while (failedLoadsSeen.load() < 2 && !pastDeadline()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    CapturingTraceSystem capture;
    installed = true;
    first.join();
    second.join();
    ASSERT_FALSE(timedOut) << "installing the trace system starved behind the writers";
    const std::vector<std::string> texts = capture.Texts();
    EXPECT_EQ(CountStartingWith(texts, "late 1"), static_cast<size_t>(kRounds));
    EXPECT_EQ(CountStartingWith(texts, "late 2"), static_cast<size_t>(kRounds));
}

}  // namespace
