// Reads a file in the registry export format into a RegistryTree:
//
//   Windows Registry Editor Version 5.00       (or REGEDIT4), the first line that is not blank
//
//   ; a comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor]       a key; it and its parents are created
//   "Name"="Text"                              a value of that key (RegFileValueLine.h)
//   "Data"=hex:01,02,\                         a backslash at the end of a value line continues
//     03,04                                    the value on the next line
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]         deletes the key with everything below it
//
// Sections name one of the hives HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT,
// HKEY_USERS or HKEY_CURRENT_CONFIG. Later sections and values add to or replace earlier ones.
// The 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE lives under SOFTWARE\WOW6432Node, as in an
// export from 64-bit Windows.
//
// A file that breaks any rule is not used at all: the result is an empty tree and a diagnostic
// naming the file, the line and what is wrong. No part of a malformed file is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "registry/RegistryTree.h"

struct RegFileDiagnostic {
    std::string file;
    uint32_t line = 0;  // 1-based; 0 when the file as a whole is concerned
    std::u16string what;

    bool operator==(const RegFileDiagnostic&) const = default;
};

struct RegFileLimits {
    size_t maxFileBytes = 16u << 20;
    size_t maxLineChars = 64u << 10;  // one line of the file
    size_t maxEntryChars = 1u << 20;  // one value with its continuation lines
};

struct RegFileParseResult {
    RegistryTree tree;
    std::optional<RegFileDiagnostic> diagnostic;
};

// `fileName` names the file in the diagnostic only.
RegFileParseResult ParseRegFile(std::string_view content, std::string_view fileName,
                                const RegFileLimits& limits = {});
