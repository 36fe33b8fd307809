// The directory library (ConfigDB): where the maker's software keeps its program, data,
// configuration and log directories on this machine, read from the registry with fallback
// chains, plus the path primitives, versions and diagnostics around them.
//
// Narrow paths are the platform's narrow text (the ANSI code page on Windows, UTF-8 on Linux). A
// directory that an operation returns ends with the platform's separator ('\' on Windows, '/' on
// Linux) whenever it is not empty; empty means that nothing was found. No operation throws.
#pragma once

#include <cstdint>
#include <string>

// Receives every diagnostic message of the library: true for an error, then the text.
using TracerCallback = void (*)(bool isError, const char16_t* text);

// Shell folder kinds (see CDB_GetSpecialFolderPath).
enum ConfigDBDirType : int32_t {
    CDB_DIRTYPE_LOCALAPPDATA_LOW = 0,
    CDB_DIRTYPE_LOCALAPPDATA = 1,
    CDB_DIRTYPE_APPDATA = 2,
    CDB_DIRTYPE_COMMON_APPDATA = 3,
    CDB_DIRTYPE_PROGRAMFILES = 4,
    CDB_DIRTYPE_PROGRAMFILES_X86 = 5,
};

// The product's own component id.
inline constexpr char kOwnComponentId[] = "K7000102";

// Results of the buffer form of CDB_GetLogDir.
inline constexpr int32_t kLogDirCopied = 0;
inline constexpr int32_t kLogDirNullArgument = 1001;
inline constexpr int32_t kLogDirBufferTooSmall = 1002;
inline constexpr int32_t kLogDirNotFound = 1003;

// Directory queries of a component.
std::string CDB_GetProgDir(const std::string& compId, bool useDefault);
std::string CDB_GetDataDir(const std::string& compId, bool create, const std::string& dataDirName);
std::string CDB_GetKonfigDir(const std::string& compId);
std::string CDB_GetKonfigDirCurrentUser(const std::string& compId, bool create);
std::string CDB_GetLogDir(const std::string& compId, bool create);
std::u16string CDB_GetLogDir(const std::u16string& compId, bool create);
int32_t CDB_GetLogDir(const char16_t* pszCompID, char16_t* pszDir, uint32_t length, bool create);
// Mode 1: the system directory of the maker's environment; any other mode: the own component's
// program directory. Falls back to this module's directory.
std::string CDB_GetSystemDir(uint32_t mode);

// Path primitives.
bool CDB_CreateDirectory(const std::string& path);
std::string CDB_GetSpecialFolderPath(ConfigDBDirType type);
std::string CBD_GetTempDir();
std::string CDB_GetThisDllDir();
std::u16string CDB_GetThisDllPath();
bool CDB_IsFullPath(const std::u16string& path);

// Versions.
int32_t CDB_GetOsVersion();
std::u16string CDB_GetFileVersion(const std::u16string& path);

// The diagnostic callback; returns the one registered before.
TracerCallback CDB_SetTracer(TracerCallback tracer);
bool CDB_HasTracer();
