// ISO 8859-1 text, as the module hands it over, turned into UTF-8 for the output.
#pragma once

#include <string>
#include <string_view>

namespace zeph::tracesystem {

// Appends the UTF-8 form of `latin1` to `out`: bytes below 0x80 stay, the others become two bytes.
void AppendLatin1AsUtf8(std::string& out, std::string_view latin1);

}  // namespace zeph::tracesystem
