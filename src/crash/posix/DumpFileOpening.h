// Opening the file of a new dump from inside the fault's signal handler: plain system calls only.
#pragma once

#include "crash/DumpFileOutcome.h"

namespace ExceptionTranslator::minidump {

// The descriptor of the dump's file, empty and readable and writable by its owner only (0600),
// or -1 with `outcome` saying why not. A missing file is created (O_EXCL); an existing one is
// opened without following a link (O_NOFOLLOW), and only a regular file of the process's user
// with one name is truncated and taken over, checked on the opened descriptor before it is
// truncated. A link in a directory part of the path is followed: the log directory is configured.
int OpenDumpFile(const char* path, DumpFileOutcome& outcome) noexcept;

}  // namespace ExceptionTranslator::minidump
