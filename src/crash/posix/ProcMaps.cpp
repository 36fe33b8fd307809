#include "crash/posix/ProcMaps.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ExceptionTranslator::minidump {
namespace {

// A cursor over one line of maps text.
struct LineReader {
    std::string_view line;
    size_t pos = 0;
    bool ok = true;

    uint64_t Number(unsigned base) noexcept {
        uint64_t value = 0;
        const size_t first = pos;
        for (; pos < line.size(); ++pos) {
            const int digit = DigitValue(line[pos]);
            if (digit < 0 || static_cast<unsigned>(digit) >= base) {
                break;
            }
            value = value * base + static_cast<unsigned>(digit);
        }
        ok = ok && pos > first;
        return value;
    }

    void Expect(char separator) noexcept {
        ok = ok && pos < line.size() && line[pos] == separator;
        ++pos;
    }

    std::string_view Word() noexcept {
        const size_t first = pos;
        while (pos < line.size() && line[pos] != ' ') {
            ++pos;
        }
        ok = ok && pos > first;
        return line.substr(first, pos - first);
    }

    void SkipSpaces() noexcept {
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
    }

    static int DigitValue(char c) noexcept {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    }
};

// One line: "start-end perms offset major:minor inode   path".
bool ParseLine(std::string_view line, size_t lineStart, Mapping& mapping) noexcept {
    LineReader reader{line};
    mapping.start = reader.Number(16);
    reader.Expect('-');
    mapping.end = reader.Number(16);
    reader.Expect(' ');
    const std::string_view perms = reader.Word();
    reader.Expect(' ');
    mapping.offset = reader.Number(16);
    reader.Expect(' ');
    reader.Word();  // device
    reader.Expect(' ');
    reader.Number(10);  // inode
    reader.SkipSpaces();
    if (!reader.ok || perms.size() < 3 || mapping.end < mapping.start) {
        return false;
    }
    mapping.readable = perms[0] == 'r';
    mapping.executable = perms[2] == 'x';
    const size_t pathLength = line.size() - reader.pos;
    mapping.pathStart = static_cast<uint32_t>(lineStart + reader.pos);
    mapping.pathLength = static_cast<uint16_t>(pathLength > 0xFFFF ? 0xFFFF : pathLength);
    return true;
}

}  // namespace

size_t ReadWholeFile(const char* path, char* buffer, size_t capacity) noexcept {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t length = 0;
    while (length < capacity) {
        const ssize_t got = read(fd, buffer + length, capacity - length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        length += static_cast<size_t>(got);
    }
    close(fd);
    return length;
}

size_t ParseMaps(std::string_view text, Mapping* mappings, size_t capacity) noexcept {
    size_t count = 0;
    size_t lineStart = 0;
    while (count < capacity) {
        const size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            break;
        }
        if (ParseLine(text.substr(lineStart, lineEnd - lineStart), lineStart, mappings[count])) {
            ++count;
        }
        lineStart = lineEnd + 1;
    }
    return count;
}

const Mapping* FindMapping(const Mapping* mappings, size_t count, uint64_t address) noexcept {
    for (size_t i = 0; i < count; ++i) {
        if (address >= mappings[i].start && address < mappings[i].end) {
            return &mappings[i];
        }
    }
    return nullptr;
}

}  // namespace ExceptionTranslator::minidump
