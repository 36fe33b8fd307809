// The log directory the dumps go to, asked of the directory library until it knows one and kept
// for the life of the process afterwards. Filled without a lock: two threads crashing at once may
// both ask and write the same text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ExceptionTranslator {

inline constexpr size_t kLogDirChars = 261;  // with the terminator

class LogDirectoryCache {
  public:
    // The buffer form of CDB_GetLogDir.
    using Query = int32_t (*)(const char16_t* compId, char16_t* directory, uint32_t length,
                              bool create);

    constexpr explicit LogDirectoryCache(Query query) noexcept : m_query(query) {}
    LogDirectoryCache(const LogDirectoryCache&) = delete;
    LogDirectoryCache& operator=(const LogDirectoryCache&) = delete;

    // The directory (ending with the platform's separator), or empty when none is known yet.
    // While empty, each call asks the query for the product's component with its create flag;
    // its status is not examined.
    const char16_t* Directory() noexcept;

  private:
    Query m_query;
    char16_t m_directory[kLogDirChars] = {};
};

// The cache of this process, over the directory library.
LogDirectoryCache& ProcessLogDirectory() noexcept;

}  // namespace ExceptionTranslator
