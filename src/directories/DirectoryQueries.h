// The directory queries of a component (the CDB_Get...Dir operations on a context) and the
// fallback chains behind them.
#pragma once

#include <cstdint>
#include <string>

#include "directories/ConfigDbContext.h"

namespace configdb {

std::string GetProgDir(ConfigDbContext& context, const std::string& compId, bool useDefault);
std::string GetDataDir(ConfigDbContext& context, const std::string& compId, bool create,
                       const std::string& dataDirName);
std::string GetKonfigDir(ConfigDbContext& context, const std::string& compId);
std::string GetKonfigDirCurrentUser(ConfigDbContext& context, const std::string& compId,
                                    bool create);
std::string GetLogDir(ConfigDbContext& context, const std::string& compId, bool create);
std::u16string GetLogDir(ConfigDbContext& context, const std::u16string& compId, bool create);
int32_t GetLogDir(ConfigDbContext& context, const char16_t* pszCompID, char16_t* pszDir,
                  uint32_t length, bool create);
std::string GetSystemDir(ConfigDbContext& context, uint32_t mode);

// The fallback chains.
std::string GuessLocalDataDir(ConfigDbContext& context, const std::string& compId,
                              const std::string& dataDirName, bool create);
std::string GuessLocalKonfigDir(ConfigDbContext& context, const std::string& compId);
std::string GuessLocalUserKonfigDir(ConfigDbContext& context, const std::string& compId,
                                    bool create);
std::string GuessLocalLogDir(ConfigDbContext& context, const std::string& compId, bool create);

// A system directory exists and, for a component id, its program directory names the id.
bool IsTalpoEnvironment(ConfigDbContext& context, const std::string& compId);

// The common end of a query: success or failure message, the separator, the per-query dump line.
struct QueryTexts {
    const char* success;  // component id, path
    const char* failure;  // component id
    const char* dump;     // component id, path
};
std::string FinishQuery(ConfigDbContext& context, const QueryTexts& texts,
                        const std::string& compId, std::string path);

// A path that cannot be created on its own drive is tried again on the program directory's drive
// (Windows; nothing to do on Linux).
void MoveToProgramDrive(ConfigDbContext& context, const std::string& compId, std::string& path);

}  // namespace configdb
