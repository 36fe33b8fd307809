// What a debugger nobody here wrote shows of a minidump (Linux): lldb-14's thread list and the
// backtrace of the crashing thread, the modules' symbols found by the paths the dump names; none
// when lldb-14 is not installed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

inline std::optional<std::string> LldbShowDump(const std::string& dump) {
    if (std::system("command -v lldb-14 >/dev/null") != 0) {
        return std::nullopt;
    }
    const std::string command =
        "lldb-14 --batch -c '" + dump + "' -o 'thread list' -o bt </dev/null 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            output.append(chunk, n);
        }
        pclose(pipe);
    }
    return output;
}
