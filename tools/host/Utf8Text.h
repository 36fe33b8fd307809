// UTF-8 for the tools' output on every platform: a report read by a person or parsed as JSON
// must not depend on the machine's code page.
#pragma once

#include <string>
#include <string_view>

namespace zeph::tools {

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// The platform's narrow text (UTF-8 on Linux, the ANSI code page on Windows) as UTF-8.
std::string PlatformTextToUtf8(std::string_view text);

}  // namespace zeph::tools
