// Pruning the dumps of the log directory to the five newest of the current naming.
#include "crash/DumpHistory.h"

#include <cstddef>
#include <vector>

#include "crash/CrashComponent.h"
#include "crash/DumpFileSystem.h"
#include "crash/DumpHistoryKey.h"
#include "crash/DumpTrace.h"
#include "crash/MiniDumps.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

namespace {

constexpr size_t kMaxPathChars = 260;

const char16_t* NamingText(bool currentNaming) {
    return currentNaming ? u"neue Version" : u"alte Version";
}

// The search mask of one naming in the log directory; empty when it does not fit.
std::u16string GetMiniDumpFilemask(bool currentNaming, LogDirectoryCache& logDirectory) {
    MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::GetMiniDumpFilemask",
                      kDumpSource, __LINE__);
    std::u16string mask = std::u16string(logDirectory.Directory()) + DumpFileMask(currentNaming);
    if (mask.size() > kMaxPathChars) {
        mask.clear();
    }
    TRC_WriteFormat(TRACE_DETAIL, CrashComponent(), u"Dateimaske (%s) wurde erzeugt: <%s>",
                    NamingText(currentNaming), mask);
    return mask;
}

void DeleteDump(const std::u16string& path) {
    const uint32_t error = DeleteDumpFile(path);
    if (error == 0) {
        TRC_WriteFormat(TRACE_DETAIL, CrashComponent(), u"Dump <%s> wurde gelöscht.", path);
    } else {
        TRC_WriteFormat(TRACE_ERROR, CrashComponent(),
                        u"Fehler <%d> beim Löschen der Datei <%s> aufgetreten!", error, path);
    }
}

}  // namespace

const char16_t* DumpFileMask(bool currentNaming) {
    return currentNaming ? u"*__V*_AppCrashDump_*.dmp.txt" : u"*__AppCrashDump_*.dmp.txt";
}

void AddFileToMap(bool currentNaming, DumpHistoryMap& map, const std::u16string& fileName,
                  LogDirectoryCache& logDirectory) {
    MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::AddFileToMap",
                      kDumpSource, __LINE__);
    const std::u16string path = logDirectory.Directory() + fileName;
    if (path.size() > kMaxPathChars) {
        return;
    }
    const auto entry = map.emplace(currentNaming ? DumpHistoryKey(fileName) : u"", path);
    TRC_WriteFormat(TRACE_INFO, CrashComponent(),
                    u"Dateiname für %s wurde in Liste aufgenommen.\nDateiname <%s>\nKey <%s>",
                    NamingText(currentNaming), path, entry->first);
}

void PruneDumpHistory(bool currentNaming, const DumpHistoryMap& map) {
    const auto count = static_cast<ptrdiff_t>(map.size());
    ptrdiff_t rank = count;
    for (auto entry = map.rbegin(); entry != map.rend(); ++entry, --rank) {
        if (!currentNaming || rank <= count - static_cast<ptrdiff_t>(kKeptDumps)) {
            DeleteDump(entry->second);
        } else {
            TRC_WriteFormat(TRACE_DETAIL, CrashComponent(),
                            u"Dump <%s> wurde historienbedingt nicht gelöscht.", entry->second);
        }
    }
}

void ClearDumpHistory(bool currentNaming, LogDirectoryCache& logDirectory) {
    MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::ClearDumpHistory",
                      kDumpSource, __LINE__);
    try {
        DumpHistoryMap map;
        const std::u16string mask = GetMiniDumpFilemask(currentNaming, logDirectory);
        if (mask.empty()) {
            return;
        }
        const std::vector<std::u16string> found = FindDumpFiles(mask);
        if (found.empty()) {
            TRC_WriteFormat(TRACE_DETAIL, CrashComponent(),
                            u"FindFirstFile() lieferte keine Dateien mit Maske <%s>.", mask);
            return;
        }
        for (const std::u16string& fileName : found) {
            AddFileToMap(currentNaming, map, fileName, logDirectory);
        }
        PruneDumpHistory(currentNaming, map);
    } catch (...) {  // the crash procedure goes on without pruning
    }
}

void ClearDumpHistory(bool currentNaming) {
    ClearDumpHistory(currentNaming, ProcessLogDirectory());
}

void ClearDumpHistories() {
    MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::ClearDumpHistories",
                      kDumpSource, __LINE__);
    ClearDumpHistory(false);
    ClearDumpHistory(true);
}

}  // namespace ExceptionTranslator
