// The path primitives of the directory library: directory creation with all missing parents, the
// temporary directory, module directories, full-path test and text conversion. The CDB_/CBD_
// operations of ConfigDB.h call these on the process's context.
#pragma once

#include <string>

#include "directories/ConfigDbContext.h"
#include "directories/FileSystem.h"

namespace configdb {

// CDB_CreateDirectory: true when an entry of that name existed (a file counts) or the directory
// was created with its missing parents, each with the rights of the scope (FileSystem.h).
bool CreateDirectoryPath(ConfigDbContext& context, const std::string& path, DirectoryScope scope);
// One step of it, recursive: true when the directory exists afterwards; a file of that name fails
// with kErrorFileExists.
bool CreateDirectoryTree(ConfigDbContext& context, const std::u16string& path,
                         DirectoryScope scope);

// CBD_GetTempDir: the system's temporary directory when it exists, else empty.
std::string GetTempDir(ConfigDbContext& context);
// The temporary directory with "Low" below it, unless it already lies under a directory "Low".
std::string GetTempDirLow(ConfigDbContext& context);

// The directory (with its separator) of this module or of the host executable.
std::string GetModuleDir(ConfigDbContext& context, bool thisModule);
std::string GetThisDllDir(ConfigDbContext& context);
std::u16string GetThisDllPath(ConfigDbContext& context);

// A drive (or two leading backslashes) and a directory part on Windows; on Linux an absolute
// path with a directory part.
bool IsFullPath(const std::u16string& path);

// Narrow and UTF-16 text; empty, with the conversion message, when nothing converts.
std::u16string ConvertToUnicode(ConfigDbContext& context, const std::string& text);
std::string ConvertToMultiByte(ConfigDbContext& context, const std::u16string& text);

}  // namespace configdb
