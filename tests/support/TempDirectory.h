// A directory of its own under the system's temporary directory (mode 0700 on POSIX), for one
// test or one real stack, removed with its content when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class TempDirectory {
  public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Writes the bytes to a file of that name in the directory (replacing it); returns its path.
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    std::filesystem::path m_path;
};
