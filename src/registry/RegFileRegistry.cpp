#include "registry/RegFileRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/TextConversion.h"
#include "registry/RegistryTreeKey.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceSinks.h"

namespace {

constexpr char16_t kLoadMethod[] = u"RegFileRegistry::Load";

// One reading of the file.
struct LoadedFile {
    RegFileStamp stamp;
    RegistryTree tree;
    std::optional<RegFileDiagnostic> diagnostic;
    bool missing = false;
};

// Closes a file descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor() {
        if (m_descriptor >= 0) {
            close(m_descriptor);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return m_descriptor; }

  private:
    int m_descriptor;
};

RegFileStamp StampOf(const struct stat& status) {
    return {true, status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

RegFileStamp StampOfPath(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? StampOf(status) : RegFileStamp{};
}

LoadedFile Unusable(const std::string& path, RegFileStamp stamp, std::u16string what) {
    LoadedFile loaded;
    loaded.stamp = stamp;
    loaded.diagnostic = RegFileDiagnostic{path, 0, std::move(what)};
    return loaded;
}

std::u16string SystemError(const std::u16string& what, int error) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): glibc's strerror writes no shared buffer (2.32 on).
    return what + u" (" + zeph::platform::NarrowToWide(std::strerror(error)) + u")";
}

// Reads the whole file, but not more than `limit` + 1 bytes: enough to know it is too large.
int ReadAll(int descriptor, size_t limit, std::string& content) {
    char buffer[64 * 1024];
    while (content.size() <= limit) {
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return errno;
        }
        if (count == 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(count));
    }
    return 0;
}

LoadedFile LoadFile(const std::string& path, const RegFileLimits& limits,
                    RegFileStamp stampBefore) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer, and it would wait with the
    // registry's lock held. For a regular file the flag changes nothing.
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.Get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            LoadedFile missing = Unusable(path, {}, u"Datei nicht vorhanden");
            missing.missing = true;
            return missing;
        }
        return Unusable(path, stampBefore, SystemError(u"Datei nicht lesbar", error));
    }
    struct stat status {};
    if (fstat(file.Get(), &status) != 0) {
        return Unusable(path, stampBefore, SystemError(u"Datei nicht lesbar", errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return Unusable(path, StampOf(status), u"keine gewöhnliche Datei");
    }
    std::string content;
    if (const int error = ReadAll(file.Get(), limits.maxFileBytes, content)) {
        return Unusable(path, StampOf(status), SystemError(u"Datei nicht lesbar", error));
    }
    RegFileParseResult parsed = ParseRegFile(content, path, limits);
    return {StampOf(status), std::move(parsed.tree), std::move(parsed.diagnostic), false};
}

void TraceDiagnostic(const RegFileDiagnostic& diagnostic, bool missing) {
    if (missing) {
        TRC_WriteFormat(TRACE_WARNING, kExtensionTraceComponent,
                        u"%s::Registrierungsdatei <%S> ist nicht vorhanden, die Registrierung "
                        u"ist leer",
                        kLoadMethod, diagnostic.file);
    } else if (diagnostic.line > 0) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionTraceComponent,
                        u"%s::Registrierungsdatei <%S> Zeile %u: %s. Die Datei wird nicht "
                        u"verwendet!",
                        kLoadMethod, diagnostic.file, diagnostic.line, diagnostic.what);
    } else {
        TRC_WriteFormat(TRACE_ERROR, kExtensionTraceComponent,
                        u"%s::Registrierungsdatei <%S>: %s. Die Datei wird nicht verwendet!",
                        kLoadMethod, diagnostic.file, diagnostic.what);
    }
}

}  // namespace

std::string RegistryFilePath() {
    const char* configured = std::getenv(kRegistryFileVariable);
    return (configured != nullptr && *configured != '\0') ? configured : kDefaultRegistryFile;
}

bool RegFileStamp::operator==(const RegFileStamp& other) const {
    return present == other.present && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

// cppcheck-suppress passedByValue ; three sizes, as cheap to copy as a reference
RegFileRegistry::RegFileRegistry(std::string path, RegFileLimits limits)
    : m_path(std::move(path)), m_limits(limits), m_tree(std::make_shared<RegistryTree>()) {}

std::optional<RegFileDiagnostic> RegFileRegistry::Diagnostic() {
    Current();
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_diagnostic;
}

uint32_t RegFileRegistry::OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                                  std::unique_ptr<RegistryKeyBackend>& key) {
    return OpenRegistryTreeKey(Current(), subKey, view, access, key);
}

std::shared_ptr<const RegistryTree> RegFileRegistry::Current() {
    std::optional<RegFileDiagnostic> toTrace;
    bool missing = false;
    std::shared_ptr<const RegistryTree> tree;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        const RegFileStamp now = StampOfPath(m_path);
        if (!m_loaded || !(now == m_stamp)) {
            LoadedFile loaded = LoadFile(m_path, m_limits, now);
            m_loaded = true;
            m_stamp = loaded.stamp;
            m_tree = std::make_shared<const RegistryTree>(std::move(loaded.tree));
            m_diagnostic = loaded.diagnostic;
            toTrace = std::move(loaded.diagnostic);
            missing = loaded.missing;
        }
        tree = m_tree;
    }
    if (toTrace) {
        TraceDiagnostic(*toTrace, missing);
    }
    return tree;
}

// Linux keeps its registry in the file; the object lives until the process ends, so that keys
// opened by other threads during exit stay valid.
RegistryApi& PlatformRegistry() {
    static auto* const registry = new RegFileRegistry(RegistryFilePath());
    return *registry;
}
