#include "crash/posix/SystemInfoStream.h"

#include <cpuid.h>
#include <sys/utsname.h>

#include <string_view>

#include "crash/posix/DumpString.h"

namespace ExceptionTranslator::minidump {
namespace {

void FillProcessor(SystemInfo& info) noexcept {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0) {
        info.vendorId[0] = ebx;
        info.vendorId[1] = edx;
        info.vendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        info.versionInformation = eax;
        info.featureInformation = edx;
        unsigned family = (eax >> 8) & 0xF;
        unsigned model = (eax >> 4) & 0xF;
        if (family == 0xF || family == 0x6) {
            model |= ((eax >> 16) & 0xF) << 4;
        }
        if (family == 0xF) {
            family += (eax >> 20) & 0xFF;
        }
        info.processorLevel = static_cast<uint16_t>(family);
        info.processorRevision = static_cast<uint16_t>((model << 8) | (eax & 0xF));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0) {
        info.amdExtendedCpuFeatures = edx;
    }
}

// "6.1.0-18-amd64" gives 6, 1 and 0.
void FillKernelVersion(const char* release, SystemInfo& info) noexcept {
    uint32_t* parts[] = {&info.majorVersion, &info.minorVersion, &info.buildNumber};
    for (uint32_t* part : parts) {
        for (; *release >= '0' && *release <= '9'; ++release) {
            *part = *part * 10 + static_cast<uint32_t>(*release - '0');
        }
        if (*release != '.') {
            break;
        }
        ++release;
    }
}

// "<release> <version> <machine>", as the kernel names itself.
Rva AppendKernelDescription(DumpFile& file, const utsname& names, char16_t* scratch,
                            size_t capacity) noexcept {
    char text[sizeof(names.release) + sizeof(names.version) + sizeof(names.machine)];
    size_t length = 0;
    for (const char* part : {names.release, names.version, names.machine}) {
        for (; *part != '\0' && length + 1 < sizeof(text); ++part) {
            text[length++] = *part;
        }
        if (length < sizeof(text)) {
            text[length++] = ' ';
        }
    }
    return AppendDumpString(file, std::string_view(text, length - 1), scratch, capacity);
}

}  // namespace

Directory WriteSystemInfo(DumpFile& file, uint32_t processors, char16_t* scratch,
                          size_t capacity) noexcept {
    SystemInfo info;
    info.numberOfProcessors = static_cast<uint8_t>(processors > 255 ? 255 : processors);
    FillProcessor(info);
    utsname names{};
    if (uname(&names) == 0) {
        FillKernelVersion(names.release, info);
        info.csdVersionRva = AppendKernelDescription(file, names, scratch, capacity);
    }
    return {kSystemInfoStream, file.AppendRecord(info)};
}

}  // namespace ExceptionTranslator::minidump
