// The sort key of a dump of the current naming: the date in its name as year, month, day, hour,
// minute and second, so that keys sort by time.
#pragma once

#include <string>
#include <string_view>

namespace ExceptionTranslator {

// Reads "DD.MM.YYYY.hh.mm.ss" from the at most 19 characters after "_AppCrashDump_" (fields that
// cannot be read stay 0, as sscanf leaves them) and writes them with
// "%02d%02d%02d%02d%02d%02d". Empty when the name has no "_AppCrashDump_".
std::u16string DumpHistoryKey(std::u16string_view fileName);

}  // namespace ExceptionTranslator
