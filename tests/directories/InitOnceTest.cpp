// The library's first calls from several threads at once: Init runs once, and every caller sees
// its settings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "directories/ConfigDbContext.h"
#include "directories/PathPrimitives.h"
#include "platform/TextConversion.h"

namespace {

std::atomic<int> g_initLines{0};

void CountInitLines(bool, const char16_t* text) {
    if (zeph::platform::WideToNarrow(text).rfind("Init: Der Mutex <CDB_MUTEX_GETUSERNAME>", 0) ==
        0) {
        ++g_initLines;
    }
}

}  // namespace

TEST(InitOnce, FirstCallsFromSeveralThreadsRunInitOnce) {
    for (int round = 0; round < 20; ++round) {
        configdb::ConfigDbContext context(PlatformDirectoryEnvironment());
        context.ExchangeTracer(&CountInitLines);
        g_initLines = 0;
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] {
                while (!go.load()) {
                    std::this_thread::yield();
                }
                configdb::GetTempDir(context);
                EXPECT_TRUE(context.IsInitialized());
            });
        }
        go = true;
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(g_initLines.load(), 1) << "round " << round;
    }
}

// A fresh process with the module's trace registered whose first call is a directory query: the
// query returns, although Init's lines load the trace system, which asks this library again.
TEST(InitOnce, ADirectoryQueryAsAFreshProcessFirstCallReturns) {
    EXPECT_EQ(ChildProcess("directories_mutex_child", {"directories-first"}).Wait(), 0);
}
