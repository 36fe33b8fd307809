// The name of a new dump from its parts, and on Windows the dump file dbghelp writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "FileText.h"
#include "TempDirectory.h"
#include "crash/MiniDumpName.h"
#include "crash/MiniDumps.h"

#ifndef _WIN32
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
             Row{u"/var/log/mora/", u"/opt/mora/morahost",
                 u"/var/log/mora/ZEPH.Ext.PcSc__morahost__V5.2.1.7_AppCrashDump_14.08.2020.09.05."
                 u"03.dmp.txt"},
             Row{u"", u"", u"ZEPH.Ext.PcSc____V5.2.1.7_AppCrashDump_14.08.2020.09.05.03.dmp.txt"},
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

TEST(CreateMiniDump, WritesAMiniDumpOfTheProcess) {
    TempDirectory directory;
    const std::filesystem::path file = directory.Path() / "crash.dmp.txt";
    CapturedRecord captured;
    ExceptionTranslator::CreateMiniDump(&captured.record, file.u16string().c_str());
    const std::string dump = ReadFileText(file);
    EXPECT_EQ(dump.substr(0, 4), "MDMP");
    EXPECT_GT(dump.size(), 4u);
}

}  // namespace
