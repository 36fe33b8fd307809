#include "TempDirectory.h"

#include <fstream>
#include <stdexcept>

#include <atomic>
#include <chrono>

// A fresh directory of a name of this process's own that no directory has yet, which only this
// user can enter.
TempDirectory::TempDirectory() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = std::filesystem::temp_directory_path() /
                 ("zeph-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(m_path)) {
            std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
            return;
        }
    }
    throw std::runtime_error("TempDirectory: no directory could be created");
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDirectory::Write(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("TempDirectory: the file could not be written");
    }
    return file.string();
}
