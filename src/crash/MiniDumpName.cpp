// Naming a new dump after the host executable, this module's version and the local time.
#include "crash/MiniDumpName.h"

#include <algorithm>

#include "crash/CrashComponent.h"
#include "crash/DumpTrace.h"
#include "crash/ExecutablePath.h"
#include "crash/LogDirectoryCache.h"
#include "crash/MiniDumps.h"
#include "directories/ConfigDB.h"
#include "tracing/FormatExpander.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

namespace {

constexpr size_t kMaxPieceChars = 255;

bool IsSeparator(char16_t c) {
#ifdef _WIN32
    return c == u'\\' || c == u'/';
#else
    return c == u'/';
#endif
}

// The file name of the path, split before its last dot.
std::pair<std::u16string_view, std::u16string_view> SplitFileName(std::u16string_view path) {
    const auto separator = std::find_if(path.rbegin(), path.rend(), IsSeparator);
    const std::u16string_view fileName = path.substr(static_cast<size_t>(path.rend() - separator));
    const size_t dot = std::min(fileName.rfind(u'.'), fileName.size());
    return {fileName.substr(0, dot), fileName.substr(dot)};
}

}  // namespace

std::u16string FormatMiniDumpName(const MiniDumpNameParts& parts) {
    const auto [baseName, extension] = SplitFileName(parts.executablePath);
    if (baseName.size() > kMaxPieceChars || extension.size() > kMaxPieceChars) {
        return {};
    }
    const auto& t = parts.time;
    std::u16string name = zeph::trace::FormatText(
        u"%s%s__%s%s__V%s"
        u"_AppCrashDump_"
        u"%02d.%02d.%04d.%02d.%02d.%02d"
        u".dmp.txt",
        parts.logDirectory, parts.component, baseName, extension, parts.moduleVersion, t.day,
        t.month, t.year, t.hour, t.minute, t.second);
    if (name.size() >= kDumpNameChars) {
        name.clear();
    }
    return name;
}

void GetMiniDumpFilename(char16_t (&buffer)[kDumpNameChars]) {
    MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::GetMiniDumpFilename",
                      kDumpSource, __LINE__);
    std::u16string name;
    try {
        MiniDumpNameParts parts;
        parts.logDirectory = ProcessLogDirectory().Directory();
        parts.component = CrashComponent();
        const std::u16string executable = ExecutablePath();
        parts.executablePath = executable;
        parts.time = zeph::platform::LocalDateTimeNow();
        const std::u16string version = CDB_GetFileVersion(CDB_GetThisDllPath());
        parts.moduleVersion = version;
        name = FormatMiniDumpName(parts);
    } catch (...) {  // no name: no dump
        name.clear();
    }
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = u'\0';
    TRC_WriteFormat(TRACE_EXCEPTION, CrashComponent(), u"Dump-Dateiname erzeugt: <%s>", buffer);
}

}  // namespace ExceptionTranslator
