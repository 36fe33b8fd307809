#include <cstdio>

#include "directories/DiagnosticWriter.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/OsVersion.h"
#include "platform/TextConversion.h"

namespace configdb {

namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

uint32_t HighWord(uint32_t value) {
    return value >> 16;
}

uint32_t LowWord(uint32_t value) {
    return value & 0xFFFF;
}

void Store(uint32_t* target, uint32_t value) {
    if (target != nullptr) {
        *target = value;
    }
}

// Traces why the reading stopped; true when it holds a valid block.
bool CheckReading(ConfigDbContext& context, const FileVersionReading& reading) {
    const int lastError = static_cast<int>(reading.lastError);
    switch (reading.step) {
        case FileVersionReading::Step::NoSize:
            TracerWrite(
                context, true,
                "_GetFileVersionFromFile: GetLastError <%d>, die FileVersionInfoSize konnte "
                "nicht ermittelt werden!",
                lastError);
            return false;
        case FileVersionReading::Step::ReadFailed:
            TracerWrite(context, true,
                        "_GetFileVersionFromFile: GetLastError <%d>, die Dateiversion von "
                        "<kernel32.dll> konnte nicht ermittelt werden!",
                        lastError);
            return false;
        case FileVersionReading::Step::NoRootBlock:
            TracerWrite(context, true,
                        "_GetFileVersionFromFile: GetLastError <%d>, FIXEDFILEINFO konnte nicht "
                        "ermittelt werden!",
                        lastError);
            return false;
        case FileVersionReading::Step::Read:
            break;
    }
    if (reading.fixed.signature != kFixedFileInfoSignature) {
        TracerWrite(context, true, "_GetFileVersionFromFile: Die Signatur <0x%08x> ist unbekannt!",
                    reading.fixed.signature);
        return false;
    }
    return true;
}

void ReportDifferences(ConfigDbContext& context, const FixedFileVersion& fixed) {
    if (fixed.fileVersionMS != fixed.productVersionMS) {
        TracerWrite(context, false,
                    "_GetFileVersionFromFile: FileVersionMS <0x%08x> != ProductVersionMS <0x%08x>!",
                    fixed.fileVersionMS, fixed.productVersionMS);
    }
    if (fixed.fileVersionLS != fixed.productVersionLS) {
        TracerWrite(context, false,
                    "_GetFileVersionFromFile: FileVersionLS <0x%08x> != ProductVersionLS <0x%08x>!",
                    fixed.fileVersionLS, fixed.productVersionLS);
    }
}

}  // namespace

bool GetFileVersionFromFile(ConfigDbContext& context, const std::u16string& path, uint32_t* major,
                            uint32_t* minor, uint32_t* build, uint32_t* revision) {
    if (!PathExists(path)) {
        TracerWrite(context, true, "_GetFileVersionFromFile: Der Dateiname <%s> existiert nicht!",
                    zeph::platform::WideToNarrow(path).c_str());
        return false;
    }
    const FileVersionReading reading = context.Environment().ReadFileVersion(path);
    if (!CheckReading(context, reading)) {
        return false;
    }
    const FixedFileVersion& fixed = reading.fixed;
    ReportDifferences(context, fixed);
    Store(major, HighWord(fixed.productVersionMS));
    Store(minor, LowWord(fixed.productVersionMS));
    Store(build, HighWord(fixed.fileVersionLS));
    Store(revision, LowWord(fixed.fileVersionLS));
    return true;
}

std::u16string GetFileVersion(ConfigDbContext& context, const std::u16string& path) {
    context.EnsureInitialized();
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t revision = 0;
    if (!GetFileVersionFromFile(context, path, &major, &minor, &build, &revision)) {
        TracerWrite(context, true, "CDB_GetOsBuildNr: Die BuildNr konnte nicht ermittelt werden!");
        return u"0.0.0.0";
    }
    TracerWrite(context, false, "_GetFileVersionFromFile: <%u><%u><%u><%u>", major, minor, build,
                revision);
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", major, minor, build, revision);
    return zeph::platform::NarrowToWide(text);
}

}  // namespace configdb
