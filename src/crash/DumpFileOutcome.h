// What became of a dump's file. A dump replaces only an earlier dump of its own name: a regular
// file of the process's own user with that one name. A name taken by anything else (a symbolic
// link, a junction or other reparse point, a directory, a device or pipe, a file of another user
// or one with more names) is never opened through, truncated or written: the dump is skipped and
// the crash trace says so, as it shows an empty name when the name would not fit.
#pragma once

namespace ExceptionTranslator {

enum class DumpFileOutcome {
    Written,
    Refused,  // the name is taken by something the dump may not replace
    Failed,   // no dump for another reason (no memory, a full disk, a missing directory ...)
};

// The level-1 trace line of a refused name.
void TraceRefusedDumpFile(const char16_t* fileName);

}  // namespace ExceptionTranslator
