#include "StopRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::hours kForever{1};

void SleepUntil(const std::atomic<bool>& flag) {
    WaitUntil([&] { return flag.load(); }, kForever, 1ms);
}

TEST(StopRequestTest, FirstRequestRunsTheActionOnceAndKeepsItsReason) {
    std::vector<std::string> calls;
    StopRequest stop([&](const std::string& reason) { calls.push_back(reason); });
    EXPECT_FALSE(stop.Requested());
    EXPECT_TRUE(stop.Request("SIGINT"));
    EXPECT_FALSE(stop.Request("time limit"));
    EXPECT_TRUE(stop.Requested());
    EXPECT_EQ(stop.Reason(), "SIGINT");
    EXPECT_EQ(calls, std::vector<std::string>{"SIGINT"});
    EXPECT_TRUE(stop.WaitFor(kForever));
}

// The host destroys the object right after its own request returns: a request that lost the
// race must not return while the winner's action (the module's Cancel) still runs.
TEST(StopRequestTest, LaterRequestReturnsOnlyAfterTheActionHasRun) {
    std::atomic<bool> actionEntered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> actionDone{false};
    StopRequest stop([&](const std::string&) {
        actionEntered = true;
        SleepUntil(release);
        actionDone = true;
    });
    std::thread first([&] { stop.Request("SIGINT"); });
    SleepUntil(actionEntered);
    std::atomic<bool> secondReturned{false};
    std::thread second([&] {
        EXPECT_FALSE(stop.Request("all cycles done"));
        EXPECT_TRUE(actionDone.load()) << "returned while the action still ran";
        secondReturned = true;
    });
    std::this_thread::sleep_for(20ms);  // gives the second request time to return too early
    EXPECT_FALSE(secondReturned);
    release = true;
    first.join();
    second.join();
    EXPECT_TRUE(secondReturned);
    EXPECT_EQ(stop.Reason(), "SIGINT");
}

}  // namespace
