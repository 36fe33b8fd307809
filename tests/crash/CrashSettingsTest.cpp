// The crash options: read only inside the host process (its name in any case, with or without
// .exe), set only as a REG_DWORD with its low 16 bits not zero.
#include <gtest/gtest.h>

#include "MemoryRegistry.h"
#include "crash/CrashSettings.h"

namespace {

using ExceptionTranslator::ReadCrashSetting;

TEST(CrashSettingTest, CountsOnlyALowWordDwordInTheHost) {
#ifdef _WIN32
    constexpr const char* kHost = "C:\\Programme\\MoraHost.EXE";
    constexpr const char* kOtherHost = "C:\\Programme\\MoraHostX.exe";
#else
    constexpr const char* kHost = "/opt/mora/MoraHost";
    constexpr const char* kOtherHost = "/opt/morahost/host";
#endif
    const RegistryValue kOne{kRegDword, {1, 0, 0, 0}};
    const struct {
        const char* executable;
        RegistryValue restart;
        bool expected;
    } cases[] = {
        {kHost, kOne, true},
        {kHost, RegistryValue{kRegDword, {0, 0, 1, 0}}, false},
        {kHost, RegistryValue{kRegDword, {0, 0, 0, 0}}, false},
        {kHost, {kRegSz, RegistryStringBytes(u"1")}, false},
        {kHost, {kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}, false},
        {kOtherHost, kOne, false},
        {"", kOne, false},
#ifndef _WIN32
        {"/x/morahost", kOne, true},
        {"/x/MORAHOST.exe", kOne, true},
        {"/x/MoraHost.EXE", kOne, true},
        {"/x/morahostx", kOne, false},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.executable << " type " << c.restart.type << " "
                                        << testing::PrintToString(c.restart.data));
        MemoryRegistry registry;
        registry.SetValue(u"Software\\TALPO Mora compact\\Options", u"ShouldRestartMoraHost",
                          c.restart);
        registry.SetValue(u"Software\\TALPO Mora compact\\Options", u"ShowCrashMessage", c.restart);
        EXPECT_EQ(ReadCrashSetting(ExceptionTranslator::kShouldRestartHost, c.executable, registry),
                  c.expected);
        EXPECT_EQ(ReadCrashSetting(ExceptionTranslator::kShowCrashMessage, c.executable, registry),
                  c.expected);
        EXPECT_FALSE(ReadCrashSetting(2, c.executable, registry));
    }
}

}  // namespace
