// The name of a new dump from its parts, and the dump file: what it may replace, and who may read
// it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CapturingTraceSystem.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "crash/MiniDumpName.h"
#include "crash/MiniDumps.h"
#include "tracing/TraceLevels.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "crash/posix/LinuxMiniDump.h"
#endif

namespace {

using ExceptionTranslator::FormatMiniDumpName;
using ExceptionTranslator::MiniDumpNameParts;

constexpr zeph::platform::LocalDateTime kCrashTime{14, 8, 2020, 9, 5, 3, 999};
#ifdef _WIN32
constexpr char16_t kExecutable[] = u"C:\\Programme\\MoraHost.exe";
#else
constexpr char16_t kExecutable[] = u"/opt/Programme/MoraHost.exe";
#endif

// "/ddd…d/" of that many characters.
std::u16string Directory(size_t chars) {
    std::u16string directory(chars, u'd');
    directory.front() = directory.back() = u'/';
    return directory;
}

TEST(MiniDumpName, NamesTheDumpAfterExecutableVersionAndTime) {
    struct Row {
        std::u16string_view logDirectory;
        std::u16string_view executable;
        std::u16string expected;
    };
    const std::u16string dumpName =
        u"ZEPH.Ext.PcSc__MoraHost.exe__V5.2.1.7_AppCrashDump_14.08.2020.09.05.03.dmp.txt";
    // Directories that make the whole name 260 and 261 characters long.
    const std::u16string fits = Directory(260 - dumpName.size());
    const std::u16string tooLong = Directory(261 - dumpName.size());
    for (const Row& row : {
             Row{u"C:\\Log\\", kExecutable, u"C:\\Log\\" + dumpName},
             Row{fits, kExecutable, fits + dumpName},
             Row{tooLong, kExecutable, u""},  // no name rather than a cut one
         }) {
        const MiniDumpNameParts parts{row.logDirectory, u"ZEPH.Ext.PcSc", row.executable,
                                      u"5.2.1.7", kCrashTime};
        EXPECT_EQ(FormatMiniDumpName(parts), row.expected);
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
        ExceptionTranslator::ReserveLinuxMiniDumpMemory();
        getcontext(&context);
        info.si_signo = SIGSEGV;
        record = {SIGSEGV, &info, &context, gettid()};
    }
    ucontext_t context{};
    siginfo_t info{};
    CrashRecord record;
#endif
};

namespace fs = std::filesystem;

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
        // Another user may pass through the directory: only the file's own rights keep it out.
        fs::permissions(directory.Path(), fs::perms::others_exec, fs::perm_options::add);
        const fs::path name = directory.Path() / "crash.dmp.txt";
        const std::string elsewhere = directory.Write("elsewhere", "kept");
        row.take(name, elsewhere);
        const CapturingTraceSystem traces;
        ExceptionTranslator::CreateMiniDump(&captured.record, name.u16string().c_str());
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

}  // namespace
