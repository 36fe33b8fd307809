// The file-system calls of the dump history: finding the dumps a mask matches and deleting one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ExceptionTranslator {

// The names (without directory) of the regular files that the mask's file-name part matches in
// the mask's directory, in the order of the search: FindFirstFileW/FindNextFileW on Windows; on
// Linux the directory's listing, where "*" matches any run of characters. Directories, links,
// junctions and other reparse points, pipes and devices are left out, so that the pruning never
// deletes them nor counts them among the dumps. Empty when nothing matches or the directory cannot
// be read.
std::vector<std::u16string> FindDumpFiles(const std::u16string& mask);

// Deletes the file: 0, or the platform's error code (GetLastError; errno). A link that took the
// name since the search is deleted itself, never its target.
uint32_t DeleteDumpFile(const std::u16string& path);

}  // namespace ExceptionTranslator
