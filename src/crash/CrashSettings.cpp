#include "crash/CrashSettings.h"

#include <cstdint>
#include <cstring>

#include "crash/HostExecutable.h"

namespace ExceptionTranslator {

namespace {

constexpr char16_t kOptionsKey[] = u"Software\\TALPO Mora compact\\Options";

const char16_t* OptionName(int which) {
    switch (which) {
        case kShowCrashMessage:
            return u"ShowCrashMessage";
        case kShouldRestartHost:
            return u"ShouldRestartMoraHost";
        default:
            return nullptr;
    }
}

}  // namespace

bool ReadCrashSetting(int which) {
    return ReadCrashSetting(which, HostExecutablePath(), PlatformRegistry());
}

// A 64-bit process reads the key in the 64-bit view, the one it opens by default.
bool ReadCrashSetting(int which, const std::string& executablePath, RegistryApi& registry) {
    const char16_t* name = OptionName(which);
    if (!IsHostExecutable(executablePath) || name == nullptr) {
        return false;
    }
    RegistryKey key;
    if (registry.OpenLocalMachineKey(kOptionsKey, RegistryView::Bit64, kKeyQueryValue, key) !=
        kRegistrySuccess) {
        return false;
    }
    uint8_t data[10] = {};
    uint32_t size = sizeof data;
    uint32_t type = kRegNone;
    const bool read = key.QueryValue(name, &type, data, &size) == kRegistrySuccess;
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return read && type == kRegDword && (value & 0xFFFFu) != 0;
}

}  // namespace ExceptionTranslator
