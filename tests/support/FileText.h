// A file the code under test or another process writes: its content, whole or as lines (without
// their line end; empty when there is no such file), and the wait for it to appear, the sign that
// the other process got that far.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WaitUntil.h"

inline std::string ReadFileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> ReadFileLines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Waits until the file exists; false at the deadline.
inline bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return std::filesystem::exists(file); }, timeout,
                     std::chrono::milliseconds(10));
}
