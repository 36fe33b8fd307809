#include "TempDirectory.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

// A fresh directory of a name of this process's own (its clock and a count), which only this user
// can enter.
TempDirectory::TempDirectory() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = std::filesystem::temp_directory_path() /
             ("zeph-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (!std::filesystem::create_directory(m_path)) {
        throw std::runtime_error("TempDirectory: " + m_path.string() + " exists already");
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDirectory::Write(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();  // a file not written fails the test that reads it
}
