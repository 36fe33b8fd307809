// The name of a new dump: the pieces it is built from, and building it.
#pragma once

#include <string>
#include <string_view>

#include "platform/LocalTime.h"

namespace ExceptionTranslator {

struct MiniDumpNameParts {
    std::u16string_view logDirectory;    // empty, or ending with the separator
    std::u16string_view component;       // the crash component
    std::u16string_view executablePath;  // the host executable's full file name
    std::u16string_view moduleVersion;   // "a.b.c.d" of this module
    zeph::platform::LocalDateTime time;
};

// "%s%s__%s%s__V%s_AppCrashDump_%02d.%02d.%04d.%02d.%02d.%02d.dmp.txt" with the log directory,
// component, executable base name and extension (each at most 255 characters), version, day,
// month, year, hour, minute and second. Empty when a piece or the whole name (at most 260
// characters) does not fit: the dump is then skipped rather than written under a cut name.
std::u16string FormatMiniDumpName(const MiniDumpNameParts& parts);

}  // namespace ExceptionTranslator
