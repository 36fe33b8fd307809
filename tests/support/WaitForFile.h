// Waits until a file exists that another process creates: the sign that it got that far.
#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

// Waits until the file exists (another process creates it); false at the deadline.
inline bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!std::filesystem::exists(file) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::filesystem::exists(file);
}
