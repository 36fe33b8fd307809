#include "StopRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr std::chrono::hours kForever{1};

TEST(StopRequestTest, FirstRequestRunsTheActionOnceAndKeepsItsReason) {
    std::vector<std::string> calls;
    StopRequest stop([&](const std::string& reason) { calls.push_back(reason); });
    EXPECT_FALSE(stop.Requested());
    EXPECT_TRUE(stop.Request("SIGINT"));
    EXPECT_FALSE(stop.Request("time limit"));
    EXPECT_TRUE(stop.Requested());
    EXPECT_EQ(stop.Reason(), "SIGINT");
    EXPECT_EQ(calls, std::vector<std::string>{"SIGINT"});
}

TEST(StopRequestTest, WaitEndsAtOnceOnceRequested) {
    StopRequest stop([](const std::string&) {});
    stop.Request("done");
    EXPECT_TRUE(stop.WaitFor(kForever));
}

TEST(StopRequestTest, RequestFromAnotherThreadEndsAWait) {
    StopRequest stop([](const std::string&) {});
    std::thread requester([&] { stop.Request("SIGTERM"); });
    EXPECT_TRUE(stop.WaitFor(kForever));
    requester.join();
}

// The host destroys the object right after its own request returns: a request that lost the
// race must not return while the winner's action (the module's Cancel) still runs.
TEST(StopRequestTest, LaterRequestReturnsOnlyAfterTheActionHasRun) {
    std::atomic<bool> actionEntered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> actionDone{false};
    StopRequest stop([&](const std::string&) {
        actionEntered = true;
        while (!release) {
            std::this_thread::yield();
        }
        actionDone = true;
    });
    std::thread first([&] { stop.Request("SIGINT"); });
    while (!actionEntered) {
        std::this_thread::yield();
    }
    std::atomic<bool> secondReturned{false};
    std::thread second([&] {
        EXPECT_FALSE(stop.Request("all cycles done"));
        EXPECT_TRUE(actionDone.load()) << "returned while the action still ran";
        secondReturned = true;
    });
    release = true;
    first.join();
    second.join();
    EXPECT_TRUE(secondReturned);
    EXPECT_EQ(stop.Reason(), "SIGINT");
}

}  // namespace
