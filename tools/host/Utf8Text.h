// UTF-8 for the tool's reports on every platform: a report read by a person or parsed as JSON
// must not depend on the machine's code page.
#pragma once

#include <string>
#include <string_view>

namespace zeph::tools {

// The platform's narrow text (UTF-8 on Linux, the ANSI code page on Windows) as UTF-8.
std::string PlatformTextToUtf8(std::string_view text);

}  // namespace zeph::tools
