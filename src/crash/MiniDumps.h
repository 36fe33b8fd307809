// The crash dumps in the product's log directory: pruning the history, naming a new dump and
// writing it.
//
// Names: <log dir><component>__<exe base><exe ext>__V<module version>_AppCrashDump_
// DD.MM.YYYY.hh.mm.ss.dmp.txt; the older naming without the version part is only ever deleted.
#pragma once

#include <cstddef>

#include "crash/CrashRecord.h"

namespace ExceptionTranslator {

inline constexpr size_t kDumpNameChars = 261;  // with the terminator

// Deletes every dump of the older naming and all but the five newest of the current naming (by
// the date in their names).
void ClearDumpHistories();
void ClearDumpHistory(bool currentNaming);

// The name of a new dump, built from the cached log directory, the crash component, the host
// executable's file name, this module's version and the local time.
void GetMiniDumpFilename(char16_t (&buffer)[kDumpNameChars]);

// Writes a mini-dump of the process with the fault into the file, readable and writable by the
// process's user only (Linux 0600; Windows: an access list of its own for the user, SYSTEM and
// Administrators): dbghelp's MiniDumpWriteDump on Windows, the module's own writer on Linux. An
// earlier dump of the same name is replaced; a name taken by anything else is left alone and
// traced (DumpFileOutcome.h). Silent on any other failure.
void CreateMiniDump(const CrashRecord* record, const char16_t* fileName) noexcept;

}  // namespace ExceptionTranslator
