#include "crash/LogDirectoryCache.h"

#include "directories/ConfigDB.h"

namespace ExceptionTranslator {

namespace {

int32_t QueryLogDir(const char16_t* compId, char16_t* directory, uint32_t length, bool create) {
    return CDB_GetLogDir(compId, directory, length, create);
}

constinit LogDirectoryCache g_processLogDirectory(&QueryLogDir);

}  // namespace

const char16_t* LogDirectoryCache::Directory() noexcept {
    if (m_directory[0] == u'\0') {
        try {
            m_query(u"K7000102", m_directory, kLogDirChars, true);
        } catch (...) {  // no directory: the names stay relative, the next crash asks again
            m_directory[0] = u'\0';
        }
        m_directory[kLogDirChars - 1] = u'\0';
    }
    return m_directory;
}

LogDirectoryCache& ProcessLogDirectory() noexcept {
    return g_processLogDirectory;
}

}  // namespace ExceptionTranslator
