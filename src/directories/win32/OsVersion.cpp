#include "directories/win32/OsVersion.h"

#include <windows.h>

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(PRTL_OSVERSIONINFOEXW);

constexpr int kServerR2Metric = 89;  // SM_SERVERR2

// RtlGetVersion is not in the import libraries: it is looked up in the loaded ntdll.dll.
RtlGetVersionFunction FindRtlGetVersion() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const FARPROC function = ntdll != nullptr ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    return reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(function));
}

}  // namespace

OsVersionReading ReadKernelOsVersion() {
    OsVersionReading reading;
    const RtlGetVersionFunction rtlGetVersion = FindRtlGetVersion();
    if (rtlGetVersion == nullptr) {
        reading.source = OsVersionReading::Source::FunctionMissing;
        return reading;
    }
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    reading.status = rtlGetVersion(&info);
    if (reading.status != 0) {
        reading.source = OsVersionReading::Source::CallFailed;
        return reading;
    }
    reading.source = OsVersionReading::Source::Read;
    reading.platformId = info.dwPlatformId;
    reading.major = info.dwMajorVersion;
    reading.minor = info.dwMinorVersion;
    reading.servicePackMajor = info.wServicePackMajor;
    reading.productType = info.wProductType;
    reading.serverR2Metric = GetSystemMetrics(kServerR2Metric);
    return reading;
}
