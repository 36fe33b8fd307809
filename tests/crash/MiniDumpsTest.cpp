// The name of a new dump from its parts, and on Windows the dump file dbghelp writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "crash/MiniDumpName.h"
#include "crash/MiniDumps.h"

#ifdef _WIN32
#include "TempDirectory.h"
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

#ifdef _WIN32
TEST(CreateMiniDump, WritesAMiniDumpOfTheProcess) {
    TempDirectory directory;
    const std::filesystem::path file = directory.Path() / "crash.dmp.txt";
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD exception{};
    exception.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    exception.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    EXCEPTION_POINTERS record{&exception, &context};
    ExceptionTranslator::CreateMiniDump(&record, file.u16string().c_str());
    std::ifstream dump(file, std::ios::binary);
    char signature[4] = {};
    dump.read(signature, sizeof(signature));
    EXPECT_EQ(std::string(signature, sizeof(signature)), "MDMP");
    EXPECT_GT(std::filesystem::file_size(file), 4u);
}
#endif

}  // namespace
