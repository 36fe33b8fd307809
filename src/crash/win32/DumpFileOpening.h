// Opening the file of a new dump on Windows.
#pragma once

#include <windows.h>

#include "crash/DumpFileOutcome.h"

namespace ExceptionTranslator {

// The handle of the dump's file, empty, with the access list of DumpFileSecurity; or
// INVALID_HANDLE_VALUE with `outcome` saying why not. A missing file is created (CREATE_NEW);
// an existing name is opened as itself, never through a link or junction
// (FILE_FLAG_OPEN_REPARSE_POINT), and only a plain file on disk of the process's user with one
// name gets the access list and is truncated and taken over, checked on the opened handle before
// anything changes. A link in a directory part of the path is followed: the log directory is
// configured.
HANDLE OpenDumpFile(const char16_t* fileName, DumpFileOutcome& outcome);

}  // namespace ExceptionTranslator
