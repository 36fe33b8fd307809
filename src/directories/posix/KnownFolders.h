// The Linux places of the shell folders: the XDG base directories of the user (with their
// defaults under the home directory), /var/lib and /opt.
#pragma once

#include <cstdint>
#include <string>

#include "directories/DirectoryEnvironment.h"

// An HRESULT, as the Windows shell answers: 0 and the folder without a trailing separator, or a
// failure code carrying the errno of what went wrong. kKnownFolderCreate creates a missing
// folder with its missing parents; kKnownFolderDefaultPath ignores the XDG variable and takes the
// default under the home directory.
int32_t LinuxKnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path);

// The failure HRESULT that carries an errno, as Windows wraps its own error codes.
int32_t HresultFromErrno(int error);
