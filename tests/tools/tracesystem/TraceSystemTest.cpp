// The trace system stand-in, loaded from its file as the module loads it: configured through the
// environment, asked and written to through its entry points.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "FileText.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "TraceSystemExports.h"
#include "tracing/DynamicLibrary.h"
#include "tracing/TraceSystemLib.h"

namespace {

// Through the module's own loader.
void* Entry(const char* name) {
    static void* const library = zeph::trace::LoadDynamicLibrary(ZEPH_TRACE_SYSTEM_PATH);
    return zeph::trace::FindExport(library, name);
}

template <typename Function>
Function* Get(Function*, const char* name) {
    return reinterpret_cast<Function*>(Entry(name));
}
#define ZEPH_ENTRY(name) Get(static_cast<decltype(&name)>(nullptr), #name)

// ExpInitTraceSystem with these settings (empty: unset); the output stays on stderr unless given.
int Init(const std::string& levels, const std::string& categories, const std::string& output = "",
         const std::string& prefix = "") {
    const auto value = [](const std::string& text) {
        return text.empty() ? std::nullopt : std::optional<std::string>(text);
    };
    const ScopedVariable variables[] = {{"ZEPH_TRACE_LEVELS", value(levels)},
                                        {"ZEPH_TRACE_CATEGORIES", value(categories)},
                                        {"ZEPH_TRACE_OUTPUT", value(output)},
                                        {"ZEPH_TRACE_PREFIX", value(prefix)}};
    return ZEPH_ENTRY(ExpInitTraceSystem)();
}

// The lines written so far: the stand-in closes its output as it is done.
std::vector<std::string> Lines(const std::filesystem::path& file) {
    ZEPH_ENTRY(ExpDoneTraceSystem)();
    return ReadFileLines(file);
}

const std::string kHead = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} \[\d+\] \[\d+\] )";

TEST(TraceSystemTest, ExportsEveryEntryPoint) {
    std::vector<const char*> names(kTraceSystemExports.begin(), kTraceSystemExports.end());
    names.push_back("ExpInitTraceSystem");  // what the module's loader asks of a library
    for (const char* name : names) {
        EXPECT_NE(Entry(name), nullptr) << name;
    }
}

TEST(TraceSystemTest, LevelsAndCategoriesDecideWhichLinesPass) {
    struct Row {
        std::string levels, categories;
        int init, mask, level;
        const char* category;
        bool passes;
    } const rows[] = {
        {"", "", 0, 0, 16, "ZEPH.Ext.PcSc", false},
        {"24", "", 0, 24, 8, "any", true},
        {"0x18", "", 0, 24, 2, "any", false},
        {"warning, INFO", "", 0, 20, 4, "any", true},
        {"all", "", 0, 0xFFFF, 1, "any", true},
        {"0x10000", "", -1, 0, 16, "any", false},
        {"info,verbose", "", -1, 0, 16, "any", false},
        {"info", "ZEPH.Help.Lib, ZEPH.Ext.PcSc", 0, 16, 16, "ZEPH.Ext.PcSc", true},
        {"info", "ZEPH.Help.Lib, ZEPH.Ext.PcSc", 0, 16, 16, "ZEPH.Ext", false},
        {"info", "ZEPH.Help.Lib, ZEPH.Ext.PcSc", 0, 16, 16, "zeph.ext.pcsc", false},
        {"info", "ZEPH.Ext.PcSc", 0, 16, 2, "ZEPH.Ext.PcSc", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.levels + " / " + row.categories + " / " + row.category);
        EXPECT_EQ(Init(row.levels, row.categories), row.init);
        EXPECT_EQ(ZEPH_ENTRY(ExpGetLevel)(), row.mask);
        EXPECT_EQ(ZEPH_ENTRY(ExpShouldTrace)(row.level), (row.mask & row.level) != 0);
        EXPECT_EQ(ZEPH_ENTRY(ExpShouldTraceCategory)(row.level, row.category), row.passes);
    }
}

TEST(TraceSystemTest, WritesOnePrefixedUtf8LinePerPassingWrite) {
    TempDirectory directory;
    const std::filesystem::path file = directory.Path() / "trace.log";
    ASSERT_EQ(Init("error,info", "ZEPH.Ext.PcSc", file.string(), "module  "), 0);
    EXPECT_EQ(ZEPH_ENTRY(ExpWrite)(16, "ZEPH.Ext.PcSc", "Gr\xFC\xDF \xE4"), 1);
    EXPECT_EQ(ZEPH_ENTRY(ExpWrite)(8, "ZEPH.Ext.PcSc", "detail"), 0);
    EXPECT_EQ(ZEPH_ENTRY(ExpWrite)(2, "Other", "other category"), 0);
    EXPECT_EQ(ZEPH_ENTRY(ExpWrite)(2, "ZEPH.Ext.PcSc", ""), 1);

    const std::vector<std::string> lines = Lines(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("module  " + kHead +
                                                      "INFO ZEPH.Ext.PcSc "
                                                      "Grüß ä")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("module  " + kHead + "ERROR ZEPH.Ext.PcSc ")))
        << lines[1];
}

TEST(TraceSystemTest, LinesOfManyThreadsArriveWhole) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 300;
    TempDirectory directory;
    const std::filesystem::path file = directory.Path() / "threads.log";
    ASSERT_EQ(Init("info", "", file.string()), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int n = 0; n < kLinesEach; ++n) {
                const std::string text = "thread " + std::to_string(t) + " line " +
                                         std::to_string(n) + std::string(100, 'x');
                ZEPH_ENTRY(ExpWrite)(16, "ZEPH.Ext.PcSc", text.c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::regex whole(kHead + "INFO ZEPH.Ext.PcSc (thread \\d line \\d+)x{100}");
    std::set<std::string> seen;
    for (const std::string& line : Lines(file)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
        EXPECT_TRUE(seen.insert(match[1]).second) << line;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLinesEach));
}

}  // namespace
