// The dumps: the name of a new one from its parts; the dump file, what it may replace and who
// may read it; the history over a log directory of the test's own, which dumps a pruning
// deletes; and on Linux the build id of a module, read from its notes in memory, which may be
// damaged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "CapturingTraceSystem.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "crash/DumpHistory.h"
#include "crash/MiniDumpName.h"
#include "crash/MiniDumps.h"
#include "tracing/TraceLevels.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "crash/posix/ElfBuildId.h"
#include "crash/posix/LinuxMiniDump.h"
#endif

namespace {

namespace fs = std::filesystem;
using namespace ExceptionTranslator;

// "/ddd…d/" of that many characters.
std::u16string Directory(size_t chars) {
    std::u16string directory(chars, u'd');
    directory.front() = directory.back() = u'/';
    return directory;
}

TEST(MiniDumpName, NamesTheDumpAfterExecutableVersionAndTime) {
    const std::u16string dumpName =
        u"ZEPH.Ext.PcSc__MoraHost.exe__V5.2.1.7_AppCrashDump_14.08.2020.09.05.03.dmp.txt";
    // Directories that make the whole name 260 and 261 characters long; no name rather than a cut
    // one.
    const std::u16string fits = Directory(260 - dumpName.size());
    const std::u16string tooLong = Directory(261 - dumpName.size());
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"C:\\Log\\", u"C:\\Log\\" + dumpName}, {fits, fits + dumpName}, {tooLong, u""}};
    for (const auto& [directory, expected] : rows) {
        EXPECT_EQ(FormatMiniDumpName({directory,
                                      u"ZEPH.Ext.PcSc",
                                      u"/opt/Programme/MoraHost.exe",
                                      u"5.2.1.7",
                                      {14, 8, 2020, 9, 5, 3, 999}}),
                  expected);
    }
}

// A record of the calling thread as the crash procedure receives one.
struct CapturedRecord {
#ifdef _WIN32
    CapturedRecord() {
        RtlCaptureContext(&context);
        exception.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        exception.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    }
    CONTEXT context{};
    EXCEPTION_RECORD exception{};
    CrashRecord record{&exception, &context};
#else
    CapturedRecord() {
        ReserveLinuxMiniDumpMemory();
        getcontext(&context);
        info.si_signo = SIGSEGV;
        record = {SIGSEGV, &info, &context, gettid()};
    }
    ucontext_t context{};
    siginfo_t info{};
    CrashRecord record;
#endif
};

// What takes the dump's name before the crash: `elsewhere` is a file beside it.
struct TakenName {
    const char* what;
    void (*take)(const fs::path& name, const fs::path& elsewhere);
    bool replaced = false;  // by the dump; else left alone and traced
    bool root = false;      // the row needs root
};

const TakenName kTakenNames[] = {
    {"free", [](const fs::path&, const fs::path&) {}, true},
    {"earlier dump", [](const fs::path& name, const fs::path&) { std::ofstream(name) << "kept"; },
     true},
    {"hard link", [](const fs::path& name, const fs::path& to) { create_hard_link(to, name); }},
    {"directory", [](const fs::path& name, const fs::path&) { create_directory(name); }},
#ifndef _WIN32  // Wine 8 makes no symbolic links and gives every file the user as its owner
    {"symbolic link", [](const fs::path& name, const fs::path& to) { create_symlink(to, name); }},
    {"dangling link", [](const fs::path& name,
                         const fs::path& to) { create_symlink(to.parent_path() / "x", name); }},
    {"another user's file",
     [](const fs::path& name, const fs::path&) {
         std::ofstream(name) << "kept";
         EXPECT_EQ(chown(name.c_str(), 65534, 65534), 0);
     },
     false, true},
#endif
};

TEST(CreateMiniDump, ReplacesOnlyAnEarlierDumpOfItsOwn) {
    CapturedRecord captured;
    for (const TakenName& row : kTakenNames) {
        SCOPED_TRACE(row.what);
#ifndef _WIN32
        if (row.root && geteuid() != 0) {
            continue;
        }
#endif
        const TempDirectory directory;
        const fs::path name = directory.Path() / "crash.dmp.txt";
        const std::string elsewhere = directory.Write("elsewhere", "kept");
        row.take(name, elsewhere);
        const CapturingTraceSystem traces;
        CreateMiniDump(&captured.record, name.u16string().c_str());
        EXPECT_EQ(ReadFileText(elsewhere), "kept");
        EXPECT_FALSE(fs::exists(directory.Path() / "x"));
        const std::string refusal = "Dump-Datei <" + name.string() + "> ist keine eigene Datei";
        EXPECT_EQ(std::ranges::any_of(traces.TextsAt(TRACE_EXCEPTION),
                                      [&](const auto& text) { return text.starts_with(refusal); }),
                  !row.replaced);
        if (row.replaced) {
            EXPECT_EQ(ReadFileText(name).substr(0, 4), "MDMP");
#ifndef _WIN32  // Wine 8 keeps no access lists: the owner-only rights on Linux only
            struct stat status {};
            EXPECT_TRUE(stat(name.c_str(), &status) == 0 && (status.st_mode & 07777) == 0600);
#endif
        } else if (is_regular_file(symlink_status(name))) {
            EXPECT_EQ(ReadFileText(name), "kept");
        }
    }
}

// The dump history.
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
        g_logDirectory.push_back(static_cast<char16_t>(fs::path::preferred_separator));
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
    for (const auto& entry : fs::directory_iterator(directory.Path())) {
        remaining.insert(entry.path().filename().string());
    }
    EXPECT_EQ(remaining, kept);
}

// Dates sort by year first.
INSTANTIATE_TEST_SUITE_P(
    Directories, Pruning,
    ::testing::Values(
        PruneCase{"SevenKeepTheFiveNewest",
                  {Dump("31.12.2020.23.59.59"), Dump(2021), Dump("02.01.2021.00.00.00"),
                   Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03"),
                   Dump("14.08.2020.09.05.04"), Dump("01.02.2021.00.00.00")},
                  {Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03")}},
        PruneCase{"OlderNamingAlwaysGoes",
                  {OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00"), Dump(2020)},
                  {OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00")}},
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
    fs::create_symlink(target, directory.Path() / Dump(2000));
#endif
    fs::create_directory(directory.Path() / Dump(2001));
    for (int year = 2020; year <= 2025; ++year) {
        directory.Write(Dump(year), "MDMP");
    }
    ClearDumpHistory(true, logDirectory);
    EXPECT_EQ(ReadFileText(target), "kept");
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(directory.Path() / Dump(2000)));
#endif
    EXPECT_TRUE(fs::is_directory(directory.Path() / Dump(2001)));
    EXPECT_FALSE(fs::exists(directory.Path() / Dump(2020)));
    EXPECT_TRUE(fs::exists(directory.Path() / Dump(2021)));
    EXPECT_EQ(traces.TextsAt(TRACE_ERROR), std::vector<std::string>{});
}

#ifndef _WIN32
// A module in memory: its ELF header, a loadable segment over all of it and a segment of notes
// that holds one build id note.
struct NoteImage {
    Elf64_Ehdr header{};
    Elf64_Phdr segments[2]{};
    Elf64_Nhdr note{};
    char name[4] = "GNU";
    uint8_t description[80]{};
};

TEST(BuildIdNotes, OnlyAWholeNoteOfAtMost64BytesIsTaken) {
    const struct {
        uint32_t descriptionBytes;
        uint64_t segmentBytes;  // from the note's header
        uint32_t expected;
    } cases[] = {
        {20, 16 + 20, 20},
        {20, 16 + 16, 0},  // the note runs past its segment
        {68, 16 + 68, 0},  // more than a build id can be
    };
    for (const auto& c : cases) {
        NoteImage image;
        std::memcpy(image.header.e_ident, ELFMAG, SELFMAG);
        image.header.e_ident[EI_CLASS] = ELFCLASS64;
        image.header.e_phentsize = sizeof(Elf64_Phdr);
        image.header.e_phoff = offsetof(NoteImage, segments);
        image.header.e_phnum = 2;
        image.segments[0] = {PT_LOAD, 0, 0, 0, 0, sizeof(NoteImage), sizeof(NoteImage), 0};
        image.segments[1].p_type = PT_NOTE;
        image.segments[1].p_vaddr = offsetof(NoteImage, note);
        image.segments[1].p_memsz = c.segmentBytes;
        image.note = {4, c.descriptionBytes, NT_GNU_BUILD_ID};
        const auto base = reinterpret_cast<uint64_t>(&image);
        const minidump::Mapping mapping{base, base + sizeof(image), 0, 0, 0, true, false};
        EXPECT_EQ(minidump::FindBuildId(base, &mapping, 1).size, c.expected) << c.descriptionBytes;
    }
}

#endif

}  // namespace
