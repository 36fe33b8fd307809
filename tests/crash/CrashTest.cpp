// The crash handling. The dumps: the name of a new one from its parts; the dump file, what it may
// replace and who may read it; the history over a log directory of the test's own, which dumps a
// pruning deletes; on Linux the build id of a module, read from its notes in memory, which may be
// damaged. Faults on purpose in a child process (crash_fault_child): inside an operation the
// operation returns an error and the process goes on, with a dump in the log directory that lldb
// reads (the fault, its thread and the backtrace from the faulting function); elsewhere (and for a
// signal another process sent) the process ends the way the platform ends a crash. In the host
// process the crash options show the message and restart the host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "CapturingTraceSystem.h"
#include "ChildProcess.h"
#include "FileText.h"
#include "MemoryRegistry.h"
#include "RegistryBackends.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "crash/CrashSettings.h"
#include "crash/DumpHistory.h"
#include "crash/InvalidParameterHandler.h"
#include "crash/MiniDumpName.h"
#include "crash/MiniDumps.h"
#include "directories/ConfigDB.h"
#include "tracing/TraceLevels.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "crash/posix/ElfBuildId.h"
#include "crash/posix/FaultWatchdog.h"
#include "crash/posix/LinuxMiniDump.h"
#endif

namespace {

namespace fs = std::filesystem;
using namespace ExceptionTranslator;

TEST(MiniDumpName, NamesTheDumpAfterExecutableVersionAndTime) {
    const std::u16string dumpName =
        u"ZEPH.Ext.PcSc__MoraHost.exe__V5.2.1.7_AppCrashDump_14.08.2020.09.05.03.dmp.txt";
    // Directories that make the whole name 260 and 261 characters long; no name rather than a cut
    // one.
    const std::u16string fits = std::u16string(259 - dumpName.size(), u'd') + u'/';
    const std::u16string tooLong = std::u16string(260 - dumpName.size(), u'd') + u'/';
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
    {"another user's file",
     [](const fs::path& name, const fs::path&) {
         std::ofstream(name) << "kept";
         EXPECT_EQ(chown(name.c_str(), 65534, 65534), 0);
     },
     false, true},
#endif
};

TEST(CreateMiniDump, ReplacesOnlyAnEarlierDumpOfItsOwn) {
    // A record of the calling thread as the crash procedure receives one.
#ifdef _WIN32
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD exception{};
    exception.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    exception.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    CrashRecord record{&exception, &context};
#else
    ReserveLinuxMiniDumpMemory();
    ucontext_t context{};
    getcontext(&context);
    siginfo_t info{};
    info.si_signo = SIGSEGV;
    CrashRecord record{SIGSEGV, &info, &context, gettid()};
#endif
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
        CreateMiniDump(&record, name.u16string().c_str());
        EXPECT_EQ(ReadFileText(elsewhere), "kept");
        const std::string refusal = "Dump-Datei <" + name.string() + "> ist keine eigene Datei";
        EXPECT_EQ(::testing::Value(traces.TextsAt(TRACE_EXCEPTION),
                                   ::testing::Contains(::testing::StartsWith(refusal))),
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
    *std::copy(g_logDirectory.begin(), g_logDirectory.end(), directory) = u'\0';
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

// A log directory of the test's own with the history over it, and the traces of its pruning.
struct DumpHistoryScene {
    DumpHistoryScene() { g_logDirectory = (directory.Path() / "").u16string(); }

    TempDirectory directory;
    CapturingTraceSystem traces;
    LogDirectoryCache logDirectory{&TestLogDir};
};

// The files written in this order, and those a pruning deletes. Dates sort by year first; the day
// is two digits: "201.01.2030" is no date of 2030.
TEST(DumpHistoryTest, PruningDeletesByTheDateInTheName) {
    const struct {
        std::vector<std::string> files, deleted;
    } rows[] = {
        {{Dump("31.12.2020.23.59.59"), Dump(2021), Dump("02.01.2021.00.00.00"),
          Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03"), Dump("14.08.2020.09.05.04"),
          Dump("01.02.2021.00.00.00")},
         {Dump("15.06.2019.10.00.00"), Dump("14.08.2020.09.05.03")}},
        {{OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00"), Dump(2020)},
         {OlderDump("01.01.2030.00.00.00"), OlderDump("02.01.2030.00.00.00")}},
        {{Dump(2021), Dump(2022), Dump(2023), Dump(2024), Dump(2025), Dump("201.01.2030.00.00.00")},
         {Dump("201.01.2030.00.00.00")}},
    };
    for (const auto& row : rows) {
        DumpHistoryScene scene;
        for (const std::string& file : row.files) {
            scene.directory.Write(file, "MDMP");
        }
        ClearDumpHistory(false, scene.logDirectory);
        ClearDumpHistory(true, scene.logDirectory);
        for (const std::string& file : row.files) {
            const fs::path path = scene.directory.Path() / file;
            const bool deleted = std::ranges::find(row.deleted, file) != row.deleted.end();
            EXPECT_NE(fs::exists(path), deleted) << file;
            EXPECT_EQ(::testing::Value(scene.traces.TextsAt(TRACE_DETAIL),
                                       ::testing::Contains(
                                           Latin1("Dump <" + path.string() + "> wurde gelöscht."))),
                      deleted)
                << file;
        }
    }
}

// Only regular files count and go: a link named like the oldest dump stays, its target outside the
// log directory with it, and a directory of such a name is neither counted nor deleted.
TEST(DumpHistoryTest, LeavesLinksAndDirectoriesAlone) {
    DumpHistoryScene scene;
    const TempDirectory outside;
    const std::string target = outside.Write("target", "kept");
#ifndef _WIN32  // Wine 8 makes no symbolic links
    fs::create_symlink(target, scene.directory.Path() / Dump(2000));
#endif
    fs::create_directory(scene.directory.Path() / Dump(2001));
    for (int year = 2020; year <= 2025; ++year) {
        scene.directory.Write(Dump(year), "MDMP");
    }
    ClearDumpHistory(true, scene.logDirectory);
    EXPECT_EQ(ReadFileText(target), "kept");
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(scene.directory.Path() / Dump(2000)));
#endif
    EXPECT_TRUE(fs::is_directory(scene.directory.Path() / Dump(2001)));
    EXPECT_FALSE(fs::exists(scene.directory.Path() / Dump(2020)));
    EXPECT_TRUE(fs::exists(scene.directory.Path() / Dump(2021)));
    EXPECT_EQ(scene.traces.TextsAt(TRACE_ERROR), std::vector<std::string>{});
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

// Two crash procedures at once: the second cannot take the watchdog, and its end leaves the first
// one's guard standing; only the thread that armed it stands it down.
TEST(FaultWatchdog, OnlyTheThreadThatArmedItStandsItDown) {
    ASSERT_TRUE(ArmFaultWatchdog(SIGSEGV));
    std::thread([] {
        EXPECT_FALSE(ArmFaultWatchdog(SIGBUS));
        DisarmFaultWatchdog();
    }).join();
    std::thread([] { EXPECT_FALSE(ArmFaultWatchdog(SIGBUS)) << "the guard went"; }).join();
    DisarmFaultWatchdog();
    std::thread([] {
        EXPECT_TRUE(ArmFaultWatchdog(SIGBUS));
        DisarmFaultWatchdog();
    }).join();
}

#endif

#ifdef _WIN32
std::atomic<int> g_previousHandlerCalls{0};

void __cdecl PreviousHandler(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
    ++g_previousHandlerCalls;
}

// The runtime's handler of invalid arguments acts for the module's threads only: another thread's
// invalid argument goes to the handler that was there before, which is back once the module's is
// removed (at unload).
TEST(InvalidParameterHandler, PassesOtherThreadsOnAndIsPutBackAtUnload) {
    _set_invalid_parameter_handler(&PreviousHandler);
    InstallInvalidParameterHandler();
    const _invalid_parameter_handler ours = _set_invalid_parameter_handler(nullptr);
    _set_invalid_parameter_handler(ours);
    ASSERT_NE(ours, &PreviousHandler);
    std::thread([ours] { ours(L"expression", L"function", L"file", 1, 0); }).join();
    EXPECT_EQ(g_previousHandlerCalls.load(), 1);
    RemoveInvalidParameterHandler();
    EXPECT_EQ(_set_invalid_parameter_handler(nullptr), &PreviousHandler);
}

constexpr int kAccessViolationEnd = static_cast<int>(0xC0000005);
constexpr char kSuffix[] = ".exe";
constexpr int kExitMinusOne = -1;
#else
constexpr int kAccessViolationEnd = 1000 + 11;  // killed by SIGSEGV
constexpr char kSuffix[] = "";
constexpr int kExitMinusOne = 255;
#endif

// Both crash options on where the child reads them, for as long as the object lives: in the real
// registry, whose key and the log directory the crashes prune are the machine's (the crash tests,
// which ctest runs side by side, take turns), or in the registry file the variable names.
struct HostOptions {
    HostOptions() {
        for (const char16_t* name : {u"ShowCrashMessage", u"ShouldRestartMoraHost"}) {
            registry.SetValue(u"SOFTWARE\\TALPO Mora compact\\Options", RegistryView::Bit64, name,
                              {kRegDword, {1, 0, 0, 0}});
        }
    }
#ifdef _WIN32
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
    Win32Backend registry;
#else
    FileBackend registry;
    ScopedVariable file{"ZEPH_REGISTRY_FILE", registry.Path()};
#endif
};

// The dumps in the log directory and when each was written (a dump of the same second as an
// earlier one replaces it).
std::map<fs::path, fs::file_time_type> Dumps() {
    std::map<fs::path, fs::file_time_type> dumps;
    for (const auto& entry : fs::directory_iterator(CDB_GetLogDir(std::string("K7000102"), true))) {
        if (entry.path().filename().string().find("_AppCrashDump_") != std::string::npos) {
            dumps[entry.path()] = entry.last_write_time();
        }
    }
    return dumps;
}

struct FaultCase {
    const char* mode;
    int exit;
    const char* signal;  // the stop reason lldb shows of the dump; null: no dump
    const char* frame;   // the faulting function, in the backtrace lldb shows
    bool others;         // the dump shows the child's three other threads where they were
};

class FaultProcessTest : public ::testing::TestWithParam<FaultCase> {
  protected:
    // The log directory of this process and of its children, the same for every test: the
    // directory library keeps the first it resolves.
    static void SetUpTestSuite() {
        static TempDirectory state;
        static ScopedVariable stateHome("XDG_STATE_HOME", state.Path().string());
    }
#ifdef _WIN32
    // The children's dumps go to the user's log directory, which every crash prunes: the crash
    // tests of this machine take turns with it.
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
#endif
};

TEST_P(FaultProcessTest, EndsAsThePlatformEndsACrashUnlessInsideAnOperation) {
    const auto before = Dumps();
    EXPECT_EQ(ChildProcess("crash_fault_child", {GetParam().mode}).Wait(), GetParam().exit);
    if (GetParam().signal == nullptr) {
        return;
    }
    std::vector<fs::path> added;
    for (const auto& [dump, written] : Dumps()) {
        if (!before.contains(dump) || before.at(dump) != written) {
            added.push_back(dump);
        }
    }
    ASSERT_EQ(added.size(), 1u);
    const std::string name = added[0].filename().string();
    EXPECT_TRUE(name.starts_with(std::string("ZEPH.Ext.PcSc__crash_fault_child") + kSuffix + "__V"))
        << name;
    EXPECT_TRUE(name.ends_with(".dmp.txt")) << name;
    EXPECT_GT(fs::file_size(added[0]), 0u);
#ifndef _WIN32
    // The crashing thread stopped by the fault, and the backtrace unwound from the faulting
    // function (which needs the thread's stack and the module list in the dump).
    // As lldb-14, a debugger nobody here wrote, shows it (the modules' symbols found by the paths
    // the dump names); nothing to read where lldb-14 is not installed.
    if (std::system("command -v lldb-14 >/dev/null") != 0) {
        return;
    }
    ChildProcess lldb(
        {"/bin/sh", "-c",
         "lldb-14 --batch -c '" + added[0].string() + "' -o 'thread list' -o 'bt all' </dev/null"});
    lldb.Wait();
    const std::string shown = lldb.Output();
    const size_t selected = shown.find("* thread #");  // the faulting thread is the selected one
    ASSERT_NE(selected, std::string::npos) << shown;
    EXPECT_NE(shown.substr(selected, shown.find('\n', selected) - selected)
                  .find(std::string("stop reason = signal ") + GetParam().signal),
              std::string::npos)
        << shown;
    for (const char* other : {"BlockOnPipe", "SleepUntilReleased", "SpinUntilReleased"}) {
        EXPECT_EQ(shown.find(other) != std::string::npos, GetParam().others) << shown;
    }
    const size_t frame = shown.find(GetParam().frame);
    EXPECT_NE(frame, std::string::npos) << shown;
    EXPECT_NE(shown.find("frame #", frame), std::string::npos) << shown;  // and its callers
#endif
}

const FaultCase kFaults[] = {
    {"divide", 0, "SIGFPE", "Divide", false},
    {"pointer", 0, "SIGSEGV", "CopyReaderName", false},
    {"atr_table", 0, "SIGSEGV", "VH_GetAllTalpoAtr", false},
#ifndef _WIN32
    {"foreign_stack", 0, "SIGSEGV", "CopyReaderName", false},
    {"sent", kAccessViolationEnd, nullptr, nullptr, false},
    {"threads", 0, "SIGSEGV", "CopyReaderName", true},
    {"untraceable", 0, "SIGSEGV", "CopyReaderName", false},
#endif
    {"outside", kAccessViolationEnd, nullptr, nullptr, false},
    {"other_thread", kAccessViolationEnd, nullptr, nullptr, false},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultProcessTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return std::string(test.param.mode); });

// A copy of the fault child named morahost shows the crash message first, starts a new instance
// of itself and ends with -1; under another name the same options do nothing.
TEST(FaultRestartTest, FollowsTheOptionsInsideTheHostOnly) {
    for (const bool host : {true, false}) {
        SCOPED_TRACE(host);
        TempDirectory marks;
        const ScopedVariable marksVariable("ZEPH_CRASH_TEST_DIR", marks.Path().string());
        const ScopedVariable logVariable("XDG_STATE_HOME", marks.Path().string());
        const fs::path copy =
            marks.Path() / ((host ? "morahost" : "otherhost") + std::string(kSuffix));
        fs::copy_file(ChildProcess::Beside("crash_fault_child"), copy);
        const HostOptions options;
        EXPECT_EQ(ChildProcess(copy, {"pointer"}).Wait(), host ? kExitMinusOne : 0);
        EXPECT_EQ(fs::exists(marks.Path() / "message"), host);
        EXPECT_EQ(WaitForFile(marks.Path() / "restarted", std::chrono::seconds(host ? 20 : 1)),
                  host);
    }
}

TEST(CrashSettingTest, CountsOnlyALowWordDwordInTheHost) {
#ifdef _WIN32
    constexpr const char* kHost = "C:\\Programme\\MoraHost.EXE";
    constexpr const char* kOtherHost = "C:\\Programme\\MoraHostX.exe";
#else
    constexpr const char* kHost = "/opt/mora/MoraHost";
    constexpr const char* kOtherHost = "/x/morahostx";
#endif
    const RegistryValue kOne{kRegDword, {1, 0, 0, 0}};
    const struct {
        const char* executable;
        RegistryValue restart;
        bool expected;
    } cases[] = {
        {kHost, kOne, true},
        {kHost, RegistryValue{kRegDword, {0, 0, 1, 0}}, false},
        {kHost, {kRegSz, RegistryStringBytes(u"1")}, false},
        {kOtherHost, kOne, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.executable << " type " << c.restart.type);
        MemoryRegistry registry;
        registry.SetValue(u"Software\\TALPO Mora compact\\Options", u"ShouldRestartMoraHost",
                          c.restart);
        EXPECT_EQ(ReadCrashSetting(kShouldRestartHost, c.executable, registry), c.expected);
    }
}

}  // namespace
