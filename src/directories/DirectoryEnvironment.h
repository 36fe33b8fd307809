// The operating-system services the directory library stands on, behind one seam so that the
// resolution chains run in tests over an in-memory registry and a directory tree of the test's
// own: the registry, the shell folders, the temporary directory, module file names, the OS version
// and the version of a file. The platform parts are posix/ and win32/PlatformDirectoryEnvironment.
//
// Answers are the system's own, uncut: the library decides what is too long for it.
#pragma once

#include <cstdint>
#include <string>

#include "registry/Registry.h"

// The separator of the platform's paths, and the one that ends every directory the library
// returns.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The shell folders the library asks for. On Linux: $XDG_STATE_HOME (LocalAppDataLow),
// $XDG_DATA_HOME (LocalAppData), $XDG_CONFIG_HOME (RoamingAppData), each with its default under
// $HOME, /var/lib (ProgramData), /opt (ProgramFilesX86).
enum class KnownFolder {
    LocalAppDataLow,
    LocalAppData,
    RoamingAppData,
    ProgramData,
    ProgramFilesX86
};

// Flags of SHGetKnownFolderPath the library passes.
inline constexpr uint32_t kKnownFolderCreate = 0x8000;       // KF_FLAG_CREATE
inline constexpr uint32_t kKnownFolderDefaultPath = 0x0400;  // KF_FLAG_DEFAULT_PATH

// What RtlGetVersion reported, with the server-R2 system metric.
struct OsVersionReading {
    enum class Source {
        NotWindows,       // no such function on this system: the version is unknown, silently
        FunctionMissing,  // ntdll.dll has no RtlGetVersion
        CallFailed,       // RtlGetVersion answered `status`
        Read,
    };
    Source source = Source::NotWindows;
    int32_t status = 0;
    uint32_t platformId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t servicePackMajor = 0;
    uint32_t productType = 0;
    int32_t serverR2Metric = 0;  // GetSystemMetrics(SM_SERVERR2)
};

// The fixed part of a version resource (VS_FIXEDFILEINFO), or of the module's ELF version note.
struct FixedFileVersion {
    uint32_t signature = 0;  // 0xFEEF04BD when valid
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
};

// How far reading a file's version got; `lastError` is the system's error code of the failed step.
struct FileVersionReading {
    enum class Step {
        NoSize,       // GetFileVersionInfoSizeW gave 0 (no resource, no note)
        ReadFailed,   // GetFileVersionInfoW failed
        NoRootBlock,  // VerQueryValueW of "\" failed or gave no block
        Read,         // `fixed` holds the block
    };
    Step step = Step::NoSize;
    uint32_t lastError = 0;
    FixedFileVersion fixed;
};

class DirectoryEnvironment {
  public:
    virtual ~DirectoryEnvironment() = default;

    virtual RegistryApi& Registry() = 0;

    // SHGetKnownFolderPath (no token) with the flags: an HRESULT, and on success the folder as
    // narrow text.
    virtual int32_t KnownFolderPath(KnownFolder folder, uint32_t flags, std::string& path) = 0;
    // SHGetFolderPathA with the CSIDL, no token, SHGFP_TYPE_DEFAULT: an HRESULT and the folder.
    virtual int32_t FolderPathByCsidl(int32_t csidl, std::string& path) = 0;
    // GetTempPathA ($TMPDIR or /tmp/ on Linux); empty when the system has none.
    virtual std::string TempPath() = 0;
    // The full file name of this module (true) or of the host executable (false); empty when the
    // system cannot tell.
    virtual std::string ModuleFileName(bool thisModule) = 0;
    // The full file name of this module as UTF-16; empty when the system cannot tell.
    virtual std::u16string ThisModulePathWide() = 0;
    virtual OsVersionReading ReadOsVersion() = 0;
    // The file must exist; the caller checks that first.
    virtual FileVersionReading ReadFileVersion(const std::u16string& path) = 0;
};

// The services of the system the module runs on.
DirectoryEnvironment& PlatformDirectoryEnvironment();
