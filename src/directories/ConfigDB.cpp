// The library's public operations, on the context of this process.
#include "directories/ConfigDB.h"

#include "directories/ConfigDbContext.h"
#include "directories/DirectoryQueries.h"
#include "directories/OsVersion.h"
#include "directories/PathPrimitives.h"
#include "directories/ShellFolderPath.h"

using configdb::ProcessConfigDb;

std::string CDB_GetProgDir(const std::string& compId, bool useDefault) {
    return configdb::GetProgDir(ProcessConfigDb(), compId, useDefault);
}

std::string CDB_GetDataDir(const std::string& compId, bool create, const std::string& dataDirName) {
    return configdb::GetDataDir(ProcessConfigDb(), compId, create, dataDirName);
}

std::string CDB_GetKonfigDir(const std::string& compId) {
    return configdb::GetKonfigDir(ProcessConfigDb(), compId);
}

std::string CDB_GetKonfigDirCurrentUser(const std::string& compId, bool create) {
    return configdb::GetKonfigDirCurrentUser(ProcessConfigDb(), compId, create);
}

std::string CDB_GetLogDir(const std::string& compId, bool create) {
    return configdb::GetLogDir(ProcessConfigDb(), compId, create);
}

std::u16string CDB_GetLogDir(const std::u16string& compId, bool create) {
    return configdb::GetLogDir(ProcessConfigDb(), compId, create);
}

int32_t CDB_GetLogDir(const char16_t* pszCompID, char16_t* pszDir, uint32_t length, bool create) {
    return configdb::GetLogDir(ProcessConfigDb(), pszCompID, pszDir, length, create);
}

std::string CDB_GetSystemDir(uint32_t mode) {
    return configdb::GetSystemDir(ProcessConfigDb(), mode);
}

bool CDB_CreateDirectory(const std::string& path) {
    // The caller's path may lie anywhere: the platform's default rights.
    return configdb::CreateDirectoryPath(ProcessConfigDb(), path,
                                         configdb::DirectoryScope::MachineWide);
}

std::string CDB_GetSpecialFolderPath(ConfigDBDirType type) {
    return configdb::GetSpecialFolderPath(ProcessConfigDb(), type);
}

std::string CBD_GetTempDir() {
    return configdb::GetTempDir(ProcessConfigDb());
}

std::string CDB_GetThisDllDir() {
    return configdb::GetThisDllDir(ProcessConfigDb());
}

std::u16string CDB_GetThisDllPath() {
    return configdb::GetThisDllPath(ProcessConfigDb());
}

bool CDB_IsFullPath(const std::u16string& path) {
    return configdb::IsFullPath(path);
}

int32_t CDB_GetOsVersion() {
    return configdb::GetOsVersion(ProcessConfigDb());
}

std::u16string CDB_GetFileVersion(const std::u16string& path) {
    return configdb::GetFileVersion(ProcessConfigDb(), path);
}

TracerCallback CDB_SetTracer(TracerCallback tracer) {
    return ProcessConfigDb().ExchangeTracer(tracer);
}

bool CDB_HasTracer() {
    return ProcessConfigDb().Tracer() != nullptr;
}
