#include "TraceLine.h"

#include <cstdio>

#include "Latin1Text.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIds.h"

namespace zeph::tracesystem {
namespace {

std::string LineHead() {
    const platform::LocalDateTime now = platform::LocalDateTimeNow();
    char head[80];
    std::snprintf(head, sizeof head, "%02d.%02d.%04d %02d:%02d:%02d.%03d [%u] [%u] ", now.day,
                  now.month, now.year, now.hour, now.minute, now.second, now.millisecond,
                  static_cast<unsigned>(platform::CurrentProcessId()),
                  static_cast<unsigned>(platform::CurrentThreadId()));
    return head;
}

}  // namespace

std::string TraceLevelName(uint32_t level) {
    switch (level) {
        case 1:
            return "EXCEPTION";
        case 2:
            return "ERROR";
        case 4:
            return "WARNING";
        case 8:
            return "DETAIL";
        case 16:
            return "INFO";
        default:
            break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(level));
    return hex;
}

std::string FormatTraceLine(std::string_view prefix, uint32_t level, std::string_view category,
                            std::string_view entry, std::string_view text) {
    std::string line(prefix);
    line += LineHead();
    line += TraceLevelName(level);
    line += ' ';
    AppendLatin1AsUtf8(line, category);
    line += ' ';
    if (!entry.empty()) {
        AppendLatin1AsUtf8(line, entry);
        line += ": ";
    }
    AppendLatin1AsUtf8(line, text);
    line += '\n';
    return line;
}

}  // namespace zeph::tracesystem
