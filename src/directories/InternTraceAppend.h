// The file write behind the trace lines: opens the file for writing (creating it, shared for
// reading), writes the bytes at its end in one write and closes it. A file that cannot be opened
// or written loses the bytes without any report: the trace has nowhere to report to.
#pragma once

#include <string>
#include <string_view>

namespace configdb {

void AppendInternTraceBytes(const std::string& file, std::string_view bytes) noexcept;

}  // namespace configdb
