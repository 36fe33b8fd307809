// The dump history over a log directory of the test's own: which dumps a pruning deletes.
#include "crash/DumpHistory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "CapturingTraceSystem.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "tracing/TraceLevels.h"

namespace {

using namespace ExceptionTranslator;

std::u16string g_logDirectory;

int32_t TestLogDir(const char16_t*, char16_t* directory, uint32_t, bool) {
    std::copy(g_logDirectory.begin(), g_logDirectory.end(), directory);
    directory[g_logDirectory.size()] = u'\0';
    return 0;
}

std::string Dump(const std::string& date) {
    return "ZEPH.Ext.PcSc__MoraHost.exe__V5.2.1.7_AppCrashDump_" + date + ".dmp.txt";
}
// A dump of the first second of that year.
std::string Dump(int year) {
    return Dump("01.01." + std::to_string(year) + ".00.00.00");
}
std::string OlderDump(const std::string& date) {
    return "ZEPH.Ext.PcSc__MoraHost.exe__AppCrashDump_" + date + ".dmp.txt";
}

struct PruneCase {
    const char* name;
    std::vector<std::string> files;  // written in this order
    std::vector<std::string> deleted;
};

class DumpHistoryTest : public ::testing::Test {
  protected:
    DumpHistoryTest() {
        g_logDirectory = directory.Path().u16string();
        g_logDirectory.push_back(static_cast<char16_t>(std::filesystem::path::preferred_separator));
    }

    TempDirectory directory;
    CapturingTraceSystem traces;
    LogDirectoryCache logDirectory{&TestLogDir};
};

class Pruning : public DumpHistoryTest, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(Pruning, DeletesByTheDateInTheName) {
    std::set<std::string> kept;
    for (const std::string& file : GetParam().files) {
        directory.Write(file, "MDMP");
        kept.insert(file);
    }
    ClearDumpHistory(false, logDirectory);
    ClearDumpHistory(true, logDirectory);
    for (const std::string& file : GetParam().deleted) {
        kept.erase(file);
        EXPECT_THAT(traces.TextsAt(TRACE_DETAIL),
                    ::testing::Contains(Latin1("Dump <" + (directory.Path() / file).string() +
                                               "> wurde gelöscht.")));
    }
    std::set<std::string> remaining;
    for (const auto& entry : std::filesystem::directory_iterator(directory.Path())) {
        remaining.insert(entry.path().filename().string());
    }
    EXPECT_EQ(remaining, kept);
}

// Dates sort by year first; the file system's time stamps and the order of writing do not count.
INSTANTIATE_TEST_SUITE_P(
    Directories, Pruning,
    ::testing::Values(
        PruneCase{"SevenKeepTheFiveNewest",
                  {Dump("31.12.2020.23.59.59"), Dump(2021), Dump("02.01.2021.00.00.00"),
                   Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03"),
                   Dump("14.08.2020.09.05.04"), Dump("01.02.2021.00.00.00")},
                  {Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03")}},
        PruneCase{"FourKeepAll", {Dump(2020), Dump(2021), Dump(2022), Dump(2023)}, {}},
        PruneCase{"OlderNamingAlwaysGoes",
                  {OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00"), Dump(2020)},
                  {OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00")}},
        PruneCase{"WrittenLastWithTheOldestDateGoes",
                  {Dump(2021), Dump(2022), Dump(2023), Dump(2024), Dump(2025), Dump(2020)},
                  {Dump(2020)}},
        PruneCase{"UnreadableDateGoesFirst",
                  {Dump(2021), Dump(2022), Dump(2023), Dump(2024), Dump(2025),
                   Dump("xx.08.2026.09.05.03")},
                  {Dump("xx.08.2026.09.05.03")}},
        // The day is two digits: "201.01.2030" is no date of 2030.
        PruneCase{"FieldsEndAtTheirWidth",
                  {Dump(2021), Dump(2022), Dump(2023), Dump(2024), Dump(2025),
                   Dump("201.01.2030.00.00.00")},
                  {Dump("201.01.2030.00.00.00")}}),
    [](const auto& row) { return std::string(row.param.name); });

// Only regular files count and go: a link named like the oldest dump stays, its target outside the
// log directory with it, and a directory of such a name is neither counted nor deleted.
TEST_F(DumpHistoryTest, LeavesLinksAndDirectoriesAlone) {
    const TempDirectory outside;
    const std::string target = outside.Write("target", "kept");
#ifndef _WIN32  // Wine 8 makes no symbolic links
    std::filesystem::create_symlink(target, directory.Path() / Dump(2000));
#endif
    std::filesystem::create_directory(directory.Path() / Dump(2001));
    for (int year = 2020; year <= 2025; ++year) {
        directory.Write(Dump(year), "MDMP");
    }
    ClearDumpHistory(true, logDirectory);
    EXPECT_EQ(ReadFileText(target), "kept");
#ifndef _WIN32
    EXPECT_TRUE(std::filesystem::is_symlink(directory.Path() / Dump(2000)));
#endif
    EXPECT_TRUE(std::filesystem::is_directory(directory.Path() / Dump(2001)));
    EXPECT_FALSE(std::filesystem::exists(directory.Path() / Dump(2020)));
    EXPECT_TRUE(std::filesystem::exists(directory.Path() / Dump(2021)));
    EXPECT_EQ(traces.TextsAt(TRACE_ERROR), std::vector<std::string>{});
}

}  // namespace
