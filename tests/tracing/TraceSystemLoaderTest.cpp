// The trace system loader with real libraries: which file it takes, which it refuses, and that
// racing first lines load and initialise the library once; first lines of two threads racing with
// a trace system being installed. Run under ThreadSanitizer through the "concurrency" label.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "CapturingTraceSystem.h"
#include "FakeDirectoryEnvironment.h"
#include "directories/TraceSystemSearch.h"
#include "tracing/DynamicLibrary.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceSystemLib.h"

namespace fs = std::filesystem;

namespace {

// A fresh loader whose finder searches the directories of a fake environment. The module and the
// executable lie in "Module" and "Host" below its root.
class LoaderScene {
  public:
    LoaderScene() {
        s_context = &m_context;
        TraceSystemLib::Instance().ResetForTesting();
        TraceSystemLib::Instance().SetFinder(&Find);
    }
    ~LoaderScene() {
        TraceSystemLib::Instance().ResetForTesting();
        TraceSystemLib::Instance().SetFinder(nullptr);
    }

    // A copy of a variant of the test library (null: a file that is no library) in the
    // directory; each copy is a library of its own, with counters of its own.
    std::string Place(const std::string& directory, const char* variant) {
        const std::string path = env.Make(directory) + kPathSeparator + kTraceSystemLibraryName;
        if (variant == nullptr) {
            std::ofstream(path) << "not a library";
        } else {
            fs::copy_file(fs::path(ZEPH_TEST_TRACELIB_DIR) / variant / kTraceSystemLibraryName,
                          path);
        }
        return path;
    }
    void UseProgramDirectory(const std::string& directory) {
        env.SetRegistry("SOFTWARE\\TALPO Mora Compact", "ProgKey", env.Make(directory));
    }
    // How often the copy was initialised (loading it here does not initialise it).
    static int InitCount(const std::string& library) {
        return Counter(library, "TestTraceSystemInitCount");
    }
    static int Counter(const std::string& library, const char* name) {
        void* const handle = zeph::trace::LoadDynamicLibrary(library);
        return reinterpret_cast<int (*)()>(zeph::trace::FindExport(handle, name))();
    }

    FakeDirectoryEnvironment env;

  private:
    static std::string Find() { return configdb::FindTraceSystemLibrary(*s_context); }
    static inline configdb::ConfigDbContext* s_context = nullptr;
    configdb::ConfigDbContext m_context{env};
};

TEST(TraceSystemLoader, ProgramDirectoryBeatsTheExecutablesDirectory) {
    LoaderScene scene;
    scene.UseProgramDirectory("Prog");
    const std::string program = scene.Place("Prog", "complete");
    const std::string host = scene.Place("Host", "complete");
    EXPECT_TRUE(TRC_ShouldTrace(TRACE_INFO));
    EXPECT_TRUE(TRC_ShouldTraceCategory(TRACE_INFO, "ZEPH.Ext.PcSc"));  // its own entry point
    EXPECT_EQ(LoaderScene::InitCount(program), 1);
    EXPECT_EQ(LoaderScene::InitCount(host), 0);
}

// A library that is found but refused ends the search: the good copy in the executable's
// directory is never tried, and tracing stays off for good.
TEST(TraceSystemLoader, RefusedLibraryEndsTheSearch) {
    const std::pair<const char*, const char*> cases[] = {{"a file that is no library", nullptr},
                                                         {"without ExpDoneTraceSystem", "no_done"},
                                                         {"without ExpInitTraceSystem", "no_init"}};
    for (const auto& [name, variant] : cases) {
        SCOPED_TRACE(name);
        LoaderScene scene;
        scene.UseProgramDirectory("Prog");
        const std::string refused = scene.Place("Prog", variant);
        const std::string host = scene.Place("Host", "complete");
        EXPECT_FALSE(TRC_ShouldTrace(TRACE_INFO));
        EXPECT_FALSE(TraceSystemLib::Instance().Load());
        EXPECT_EQ(LoaderScene::InitCount(host), 0);
        if (variant != nullptr) {
            EXPECT_EQ(LoaderScene::InitCount(refused), 0);
        }
    }
}

TEST(TraceSystemLoader, UnknownDirectoriesTryTheBareNameInTheCurrentDirectory) {
    LoaderScene scene;
    scene.env.moduleFile.clear();
    scene.env.executableFile.clear();
    const std::string library = scene.Place("Current", "complete");
    const fs::path before = fs::current_path();
    fs::current_path(scene.env.Path("Current"));
    const bool traced = TRC_ShouldTrace(TRACE_INFO);
    fs::current_path(before);
    EXPECT_TRUE(traced);
    EXPECT_EQ(LoaderScene::InitCount(library), 1);
}

// Both threads' first lines arrive; the library was loaded and initialised once, and no entry
// point was called before its initialisation had returned.
TEST(TraceSystemLoader, RacingFirstLinesLoadAndInitialiseOnce) {
    for (int round = 0; round < 5; ++round) {
        LoaderScene scene;
        const std::string library = scene.Place("Module", "complete");
        std::atomic<bool> go{false};
        auto writer = [&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            TRC_WriteFormat(TRACE_INFO, u"ZEPH.Ext.PcSc", u"first line");
        };
        std::thread first(writer);
        std::thread second(writer);
        go = true;
        first.join();
        second.join();
        EXPECT_EQ(LoaderScene::InitCount(library), 1);
        EXPECT_EQ(LoaderScene::Counter(library, "TestTraceSystemEarlyCalls"), 0);
        EXPECT_EQ(LoaderScene::Counter(library, "TestTraceSystemLines"), 2);
    }
}

constexpr int kRounds = 200;

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
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "late 1"), kRounds);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "late 2"), kRounds);
}

}  // namespace
