// The crash options: read only inside the host process (its name in any case, with or without
// .exe), set only as a REG_DWORD with its low 16 bits not zero.
#include <gtest/gtest.h>

#include "MemoryRegistry.h"
#include "crash/CrashSettings.h"

namespace {

using ExceptionTranslator::ReadCrashSetting;

RegistryValue Dword(uint32_t value) {
    return {kRegDword,
            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
}

TEST(CrashSettingTest, CountsOnlyALowWordDwordInTheHost) {
#ifdef _WIN32
    constexpr const char* kHost = "C:\\Programme\\MoraHost.EXE";
    constexpr const char* kOtherHost = "C:\\Programme\\MoraHostX.exe";
#else
    constexpr const char* kHost = "/opt/mora/MoraHost";
    constexpr const char* kOtherHost = "/opt/morahost/host";
#endif
    const struct {
        const char* executable;
        RegistryValue restart;
        bool expected;
    } cases[] = {
        {kHost, Dword(1), true},
        {kHost, Dword(0x10000), false},
        {kHost, Dword(0), false},
        {kHost, {kRegSz, RegistryStringBytes(u"1")}, false},
        {kHost, {kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}, false},
        {kOtherHost, Dword(1), false},
        {"", Dword(1), false},
#ifndef _WIN32
        {"/x/morahost", Dword(1), true},
        {"/x/MORAHOST.exe", Dword(1), true},
        {"/x/MoraHost.EXE", Dword(1), true},
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
