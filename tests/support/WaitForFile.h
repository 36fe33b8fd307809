// Waits until a file exists that another process creates: the sign that it got that far.
#pragma once

#include <filesystem>

#include "WaitUntil.h"

// Waits until the file exists (another process creates it); false at the deadline.
inline bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return std::filesystem::exists(file); }, timeout,
                     std::chrono::milliseconds(10));
}
