// The crash options at work in a host process: a copy of the fault child named morahost shows the
// crash message first, starts a new instance of itself and ends with -1.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "MemoryRegistry.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "WaitForFile.h"
#ifdef _WIN32
#include "Win32RegistryFixture.h"
#endif

namespace fs = std::filesystem;

namespace {

struct RestartCase {
    const char* executable;
    const char* restartValue;  // as a .reg file writes it
    RegistryValue value;       // as the Windows registry holds it
    int exit;
    bool message;
    bool restarted;
    // A name for the test's list: letters and digits only.
    friend void PrintTo(const RestartCase& c, std::ostream* out) {
        for (const char ch : std::string(c.executable) + "_" + c.restartValue) {
            *out << (std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
        }
    }
};

#ifdef _WIN32
// The options in the real registry for as long as it lives. The key and the log directory the
// crashes prune are the machine's: the crash tests, which ctest runs side by side, take turns.
struct Options {
    Options(const TempDirectory&, const RestartCase& c) {
        key.SetValue(u"ShowCrashMessage", kRegDword, {1, 0, 0, 0});
        key.SetValue(u"ShouldRestartMoraHost", c.value.type, c.value.data);
    }
    RegistryFixtureTurn turn{u"ZephCrashTestTurn"};
    ScopedRegistryKey key{u"Software\\TALPO Mora compact\\Options", RegistryView::Bit64};
};
#else
// The options in a registry file the child reads.
struct Options {
    Options(const TempDirectory& dir, const RestartCase& c)
        : file("ZEPH_REGISTRY_FILE",
               dir.Write("options.reg",
                         std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                                     "[HKEY_LOCAL_MACHINE\\Software\\TALPO Mora compact\\Options]"
                                     "\r\n\"ShowCrashMessage\"=dword:00000001\r\n"
                                     "\"ShouldRestartMoraHost\"=") +
                             c.restartValue + "\r\n")) {}
    ScopedVariable file;
};
#endif

class FaultRestartTest : public ::testing::TestWithParam<RestartCase> {};

TEST_P(FaultRestartTest, FollowsTheOptionsInsideTheHostOnly) {
    const RestartCase& c = GetParam();
    TempDirectory marks;
    const ScopedVariable marksVariable("ZEPH_CRASH_TEST_DIR", marks.Path().string());
    const ScopedVariable logVariable("XDG_STATE_HOME", marks.Path().string());
    const fs::path host = marks.Path() / c.executable;
    fs::copy_file(ChildProcess::Beside("crash_fault_child"), host);
    const Options options(marks, c);

    EXPECT_EQ(ChildProcess(host, {"pointer"}).Wait(), c.exit);
    EXPECT_EQ(fs::exists(marks.Path() / "message"), c.message);
    EXPECT_EQ(WaitForFile(marks.Path() / "restarted", std::chrono::seconds(c.restarted ? 20 : 1)),
              c.restarted);
}

#ifdef _WIN32
#define ZEPH_HOST_NAME "morahost.exe"
#define ZEPH_OTHER_NAME "otherhost.exe"
constexpr int kExitMinusOne = -1;
#else
#define ZEPH_HOST_NAME "morahost"
#define ZEPH_OTHER_NAME "otherhost"
constexpr int kExitMinusOne = 255;
#endif
const RegistryValue kOne{kRegDword, {1, 0, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Options, FaultRestartTest,
    ::testing::Values(
        RestartCase{ZEPH_HOST_NAME, "dword:00000001", kOne, kExitMinusOne, true, true},
        RestartCase{ZEPH_HOST_NAME, "dword:00010000", {kRegDword, {0, 0, 1, 0}}, 0, true, false},
        RestartCase{ZEPH_HOST_NAME, "\"1\"", {kRegSz, RegistryStringBytes(u"1")}, 0, true, false},
        RestartCase{ZEPH_OTHER_NAME, "dword:00000001", kOne, 0, false, false}));

}  // namespace
