// One value entry of a registry export file, after its continuation lines have been joined:
//
//   "name"="text"          REG_SZ; inside the quotes \\ stands for \ and \" for "
//   @=...                  the key's default value
//   "name"=dword:0000abcd  REG_DWORD, one to eight hexadecimal digits
//   "name"=hex:01,ff       REG_BINARY; bytes of one or two hexadecimal digits, separated by
//                          commas, blanks allowed around them; no bytes at all is an empty value
//   "name"=hex(N):...      type N (hexadecimal): hex(2) REG_EXPAND_SZ, hex(7) REG_MULTI_SZ,
//                          hex(b) REG_QWORD, ...
//   "name"=-               deletes the value
//
// Blanks are allowed around "=". Anything after the data is an error. In files with the
// "REGEDIT4" header the bytes of the string types (hex(1), hex(2), hex(7)) are single-byte
// text, which is widened to UTF-16 as the registry stores it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "registry/Registry.h"

// Windows limit of a value name.
inline constexpr size_t kMaxRegistryValueNameChars = 16383;

struct RegFileValueEntry {
    std::u16string name;
    std::optional<RegistryValue> value;  // nothing: delete the value
};

struct RegFileSyntaxError {
    size_t offset = 0;  // where in the entry the error was found
    std::u16string what;
};

std::optional<RegFileSyntaxError> ParseRegFileValueEntry(std::u16string_view entry,
                                                         bool singleByteStrings,
                                                         RegFileValueEntry& parsed);

// Follows the quoted strings of an entry while it grows line by line, looking at each character
// once.
class RegFileEntryContinuation {
  public:
    // True when the entry's last character is a backslash outside a quoted string: the entry
    // continues on the next line. The caller removes that backslash before it appends the next
    // line.
    bool Continues(std::u16string_view entry);

  private:
    size_t m_scanned = 0;
    bool m_inString = false;
    bool m_escaped = false;
};
