// The dump history: which dumps of the log directory are kept, and the parts of its pruning that
// tests drive on a log directory of their own.
#pragma once

#include <map>
#include <string>

#include "crash/LogDirectoryCache.h"

namespace ExceptionTranslator {

// Sort key (DumpHistoryKey; empty for the older naming) to the dump's full path. Equal keys keep
// the order of insertion, so of two dumps of the same second the one found later counts newer.
using DumpHistoryMap = std::multimap<std::u16string, std::u16string>;

inline constexpr size_t kKeptDumps = 5;

// The file-name part of the dumps' search mask: "*__V*_AppCrashDump_*.dmp.txt" for the current
// naming, "*__AppCrashDump_*.dmp.txt" for the older one.
const char16_t* DumpFileMask(bool currentNaming);

// ClearDumpHistory over the given log directory.
void ClearDumpHistory(bool currentNaming, LogDirectoryCache& logDirectory);

// Enters the found file under its key with its full path in the log directory; a full path of
// more than 260 characters is left out.
void AddFileToMap(bool currentNaming, DumpHistoryMap& map, const std::u16string& fileName,
                  LogDirectoryCache& logDirectory);

// Walks the map from the greatest key down: of the current naming all but the first five are
// deleted, of the older naming every dump. Each deletion or sparing is traced.
void PruneDumpHistory(bool currentNaming, const DumpHistoryMap& map);

}  // namespace ExceptionTranslator
