#include "PrivateNamespace.h"

#include <linux/magic.h>
#include <sys/statfs.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace realstack {

void RequirePrivateNamespace() {
    const char* marker = std::getenv(kNamespaceVariable);
    if (marker == nullptr || std::string(marker) != "1") {
        throw std::runtime_error(
            "refusing to start pcscd outside a private namespace: run this program through "
            "tests/support/realstack/run-in-namespace.sh");
    }
    struct statfs info {};
    if (statfs("/run/pcscd", &info) != 0 || info.f_type != TMPFS_MAGIC) {
        throw std::runtime_error("refusing to start pcscd: /run/pcscd is not a private tmpfs");
    }
    if (std::filesystem::exists("/run/pcscd/pcscd.comm")) {
        throw std::runtime_error("refusing to start pcscd: another one serves /run/pcscd");
    }
}

}  // namespace realstack
