// The host tool's parts that need no module: command APDUs, where the module is looked for, and
// the stop request that a signal, a time limit or the last cycle makes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "ApduHex.h"
#include "ModuleLoader.h"
#include "StopRequest.h"
#include "TempDirectory.h"
#include "WaitUntil.h"

namespace {

// Every shape of a command APDU, short and extended, is sent; one whose lengths do not match
// is refused before it reaches the card.
TEST(ApduHexTest, AcceptsEachShapeOfACommandAndRefusesMismatchedLengths) {
    const char* const valid[] = {
        "00A4000C",         "00A4000C00",     "00A4000C01",         "00A4000C023F00",
        "00A4000C023F0000", "00A4000C000100", "00A4000C0000023F00", "00A4000C0000023F000000"};
    const char* const invalid[] = {
        "00A400",           "00A4000C023F",     "00A4000C023F000000",   "00A4000C0001",
        "00A4000C0000003F", "00A4000C0000023F", "00A4000C0000023F0000", "00  A4000C"};
    for (const bool accepted : {true, false}) {
        for (const char* text : accepted ? std::span(valid) : std::span(invalid)) {
            std::string error;
            EXPECT_EQ(ParseApdu(text, error).has_value(), accepted) << text;
            EXPECT_EQ(error.empty(), accepted) << text << ": " << error;
        }
    }
    std::string error;
    EXPECT_EQ(ParseApdu("00 a4 00 0c-02:3f 00", error),
              (std::vector<uint8_t>{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}));
}

#ifdef _WIN32
constexpr const char* kModule = "ZEPH_Ext_PcSc.dll";
#else
constexpr const char* kModule = "ZEPH_Ext_PcSc.so";
#endif

// The first place where the module exists; where none has it, the build tree's.
TEST(ModuleLoaderTest, TakesTheFirstCandidateThatExists) {
    const TempDirectory root;
    const std::filesystem::path program = root.Path() / "bin" / "zeph_host";
    std::filesystem::create_directories(root.Path() / "bin");
    EXPECT_EQ(DefaultModulePath(program.string()), DefaultModuleCandidates(program.string())[0])
        << "none exists: the build tree's, for the error message";

    std::filesystem::create_directories(root.Path() / "lib" / "zeph");
    root.Write(std::string("lib/zeph/") + kModule, "");
    EXPECT_EQ(DefaultModulePath(program.string()), DefaultModuleCandidates(program.string())[1]);
}

using namespace std::chrono_literals;

constexpr std::chrono::hours kForever{1};

// The first request runs the action once and keeps its reason. The host destroys the object
// right after its own request returns: a request that lost the race must not return while the
// winner's action (the module's Cancel) still runs.
TEST(StopRequestTest, LaterRequestReturnsOnlyAfterTheActionHasRun) {
    std::atomic<bool> actionEntered{false};
    std::atomic<bool> release{false};
    std::atomic<int> actions{0};
    StopRequest stop([&](const std::string&) {
        actionEntered = true;
        WaitUntil([&] { return release.load(); }, kForever, 1ms);
        ++actions;
    });
    EXPECT_FALSE(stop.Requested());
    std::thread first([&] { EXPECT_TRUE(stop.Request("SIGINT")); });
    WaitUntil([&] { return actionEntered.load(); }, kForever, 1ms);
    std::atomic<bool> secondReturned{false};
    std::thread second([&] {
        EXPECT_FALSE(stop.Request("all cycles done"));
        EXPECT_EQ(actions.load(), 1) << "returned while the action still ran";
        secondReturned = true;
    });
    std::this_thread::sleep_for(20ms);  // gives the second request time to return too early
    EXPECT_FALSE(secondReturned);
    release = true;
    first.join();
    second.join();
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(stop.Requested());
    EXPECT_TRUE(stop.WaitFor(kForever));
    EXPECT_EQ(stop.Reason(), "SIGINT");
    EXPECT_EQ(actions.load(), 1);
}

}  // namespace
