// The registry of Linux: a read-only file in the registry export format (RegFileParser.h),
// named by the environment variable ZEPH_REGISTRY_FILE, by default /etc/zeph/registry.reg.
//
// The file is read when a key is opened and kept while its identity, size and modification
// time stay the same; an opened key keeps the content it was opened in. A file that is not there
// is an empty registry. A file that cannot be read, is malformed or is not a regular file (a
// directory, a FIFO, a device; refused without waiting for a writer) is not used at all (an
// empty registry as well): the reason is traced once per change of the file, at TRACE_ERROR
// under "ZEPH.Ext.PcSc", and kept for Diagnostic(). A missing file is traced at TRACE_WARNING.
#pragma once

#include <sys/types.h>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "registry/RegFileParser.h"
#include "registry/Registry.h"

inline constexpr char kRegistryFileVariable[] = "ZEPH_REGISTRY_FILE";
inline constexpr char kDefaultRegistryFile[] = "/etc/zeph/registry.reg";

// The value of ZEPH_REGISTRY_FILE, or the default when it is not set or empty.
std::string RegistryFilePath();

// What identifies one version of the file: its identity, size and modification time.
struct RegFileStamp {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const RegFileStamp& other) const;
};

class RegFileRegistry final : public RegistryApi {
  public:
    explicit RegFileRegistry(std::string path, RegFileLimits limits = {});

    const std::string& Path() const { return m_path; }
    // What the latest reading of the file found wrong, after a refresh; nothing for a
    // well-formed file.
    std::optional<RegFileDiagnostic> Diagnostic();

  protected:
    uint32_t OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                     std::unique_ptr<RegistryKeyBackend>& key) override;

  private:
    // The content of the current version of the file; reads the file when it has changed and
    // traces what is wrong with it (outside the lock: writing a trace line may load the trace
    // system, which may read the registry).
    std::shared_ptr<const RegistryTree> Current();

    const std::string m_path;
    const RegFileLimits m_limits;
    std::mutex m_mutex;
    bool m_loaded = false;
    RegFileStamp m_stamp;
    std::shared_ptr<const RegistryTree> m_tree;
    std::optional<RegFileDiagnostic> m_diagnostic;
};
