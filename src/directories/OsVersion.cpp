#include "directories/OsVersion.h"

#include "directories/DiagnosticWriter.h"
#include "directories/NarrowText.h"

namespace configdb {

namespace {

constexpr uint32_t kPlatformWin32Nt = 2;
constexpr uint32_t kWorkstation = 1;

int32_t WindowsXp(uint32_t servicePack) {
    return servicePack >= 1 && servicePack <= 3 ? 1 + static_cast<int32_t>(servicePack) : 1;
}

int32_t WindowsVista(bool workstation, uint32_t servicePack) {
    if (!workstation) {
        return 10;
    }
    return servicePack == 1 ? 8 : servicePack == 2 ? 9 : 7;
}

int32_t Windows6(uint32_t minor, bool workstation, uint32_t servicePack) {
    switch (minor) {
        case 0:
            return WindowsVista(workstation, servicePack);
        case 1:
            return workstation ? (servicePack == 1 ? 12 : 11) : 13;
        case 2:
            return workstation ? 14 : 15;
        case 3:
            return workstation ? 16 : 17;
        default:
            return 0;
    }
}

void ReportReadingFailure(ConfigDbContext& context, const OsVersionReading& reading) {
    if (reading.source == OsVersionReading::Source::FunctionMissing) {
        TracerWrite(context, true, "%s",
                    "CDB_GetOsVersion: Funktionszeiger für <RtlGetVersion> konnte nicht ermittelt "
                    "werden!"_nt);
    } else if (reading.source == OsVersionReading::Source::CallFailed) {
        TracerWrite(context, true, "CDB_GetOsVersion: <RtlGetVersion> lieferte Fehler <%d>!",
                    reading.status);
    }
}

}  // namespace

int32_t ClassifyOsVersion(const OsVersionReading& reading) {
    if (reading.source != OsVersionReading::Source::Read ||
        reading.platformId != kPlatformWin32Nt) {
        return 0;
    }
    const bool workstation = reading.productType == kWorkstation;
    const uint32_t sp = reading.servicePackMajor;
    if (reading.major == 5) {
        if (reading.minor == 1) {
            return WindowsXp(sp);
        }
        return reading.minor == 2 ? (reading.serverR2Metric != 0 ? 6 : 5) : 0;
    }
    if (reading.major == 6) {
        return Windows6(reading.minor, workstation, sp);
    }
    if (reading.major == 10) {
        return reading.minor != 0 ? 0 : workstation ? 18 : 19;
    }
    return reading.major > 10 ? (workstation ? 100 : 101) : 0;
}

const char* GetOsVersionText(int32_t code) {
    switch (code) {
        case 1:
            return "Windows XP";
        case 2:
            return "Windows XP SP1";
        case 3:
            return "Windows XP SP2";
        case 4:
            return "Windows XP SP3";
        case 5:
            return "Windows 2003 Server";
        case 6:
            return "Windows 2003 Server R2";
        case 7:
            return "Windows VISTA";
        case 8:
            return "Windows VISTA SP1";
        case 9:
            return "Windows VISTA SP2";
        case 10:
            return "Windows 2008 Server";
        case 11:
            return "Windows 7";
        case 12:
            return "Windows 7 SP1";
        case 13:
            return "Windows 2008 Server R2";
        case 14:
            return "Windows 8";
        case 15:
            return "Windows 2012 Server";
        case 16:
            return "Windows 8.1";
        case 17:
            return "Windows 2012 Server R2";
        case 18:
            return "Windows 10";
        case 19:
            return "Windows 2016 Server";
        case 100:
            return "Windows Major > 10 und Minor x (nach Win10)";
        case 101:
            return "Server Windows Major > 10 und Minor x (nach Server2016)";
        default:
            return "Windows Version UNKNOWN";
    }
}

int32_t GetOsVersion(ConfigDbContext& context) {
    context.EnsureInitialized();
    std::atomic<int32_t>& cache = context.OsVersionCache();
    int32_t code = cache.load(std::memory_order_relaxed);
    if (code == 0) {
        try {
            const OsVersionReading reading = context.Environment().ReadOsVersion();
            ReportReadingFailure(context, reading);
            code = ClassifyOsVersion(reading);
            cache.store(code, std::memory_order_relaxed);
        } catch (...) {
            TracerWrite(context, true, "CDB_GetOsVersion: Im Catch...");
        }
    }
    TracerWrite(context, false, "CDB_GetOsVersion: \"%d\" (%s)", code, GetOsVersionText(code));
    return code;
}

}  // namespace configdb
