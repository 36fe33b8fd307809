// The crash options: read only inside the host process, set only as a REG_DWORD with its low 16
// bits not zero.
#include <gtest/gtest.h>

#include "MemoryRegistry.h"
#include "crash/CrashSettings.h"

namespace {

using ExceptionTranslator::kShouldRestartHost;
using ExceptionTranslator::kShowCrashMessage;
using ExceptionTranslator::ReadCrashSetting;

constexpr char16_t kOptions[] = u"Software\\TALPO Mora compact\\Options";

#ifdef _WIN32
constexpr const char* kHost = "C:\\Programme\\MoraHost.EXE";
constexpr const char* kOtherHost = "C:\\Programme\\MoraHostX.exe";
#else
constexpr const char* kHost = "/opt/mora/MoraHost";
constexpr const char* kOtherHost = "/opt/morahost/host";
#endif

RegistryValue Dword(uint32_t value) {
    return {kRegDword,
            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
}

struct SettingCase {
    const char* executable;
    RegistryValue restart;
    bool expected;
    // A name for the test's list: the value's type and bytes, and whether it runs in the host.
    friend void PrintTo(const SettingCase& c, std::ostream* out) {
        *out << "type" << c.restart.type << "_";
        for (const uint8_t byte : c.restart.data) {
            *out << int{byte} << "x";
        }
        *out << (*c.executable == '\0'                                             ? "noexe"
                 : std::string(c.executable).find("MoraHost") != std::string::npos ? "host"
                                                                                   : "other");
    }
};

class CrashSettingTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(CrashSettingTest, CountsOnlyALowWordDwordInTheHost) {
    MemoryRegistry registry;
    registry.SetValue(kOptions, u"ShouldRestartMoraHost", GetParam().restart);
    registry.SetValue(kOptions, u"ShowCrashMessage", GetParam().restart);
    EXPECT_EQ(ReadCrashSetting(kShouldRestartHost, GetParam().executable, registry),
              GetParam().expected);
    EXPECT_EQ(ReadCrashSetting(kShowCrashMessage, GetParam().executable, registry),
              GetParam().expected);
    EXPECT_FALSE(ReadCrashSetting(2, GetParam().executable, registry));
}

INSTANTIATE_TEST_SUITE_P(
    Options, CrashSettingTest,
    ::testing::Values(SettingCase{kHost, Dword(1), true}, SettingCase{kHost, Dword(0x10000), false},
                      SettingCase{kHost, Dword(0), false},
                      SettingCase{kHost, {kRegSz, RegistryStringBytes(u"1")}, false},
                      SettingCase{kHost, {kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}, false},
                      SettingCase{kOtherHost, Dword(1), false}, SettingCase{"", Dword(1), false}));

#ifndef _WIN32
TEST(CrashSettingHostName, AnyCaseWithOrWithoutExe) {
    MemoryRegistry registry;
    registry.SetValue(kOptions, u"ShowCrashMessage", Dword(1));
    for (const char* path : {"/x/morahost", "/x/MORAHOST.exe", "/x/MoraHost.EXE"}) {
        EXPECT_TRUE(ReadCrashSetting(kShowCrashMessage, path, registry)) << path;
    }
}
#endif

}  // namespace
