// Reads the version note (directories/VersionNote.h) of an ELF file: the Linux counterpart of
// reading a file's version resource.
#pragma once

#include <string>

#include "directories/DirectoryEnvironment.h"

// NoSize when the file cannot be read (lastError: its errno) or is no 64-bit little-endian ELF
// file with the note (lastError ENOEXEC); NoRootBlock when the note is there but malformed.
// Hostile or truncated files are refused: nothing is read beyond the file or the bounds below.
FileVersionReading ReadElfVersionNote(const std::string& path);
