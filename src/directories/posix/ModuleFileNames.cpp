#include "directories/posix/ModuleFileNames.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace {

// The name the link map gives this code's object; empty for the executable, whose map has no
// name.
std::string LinkMapName() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&LinkMapName), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0 ||
        map == nullptr || map->l_name == nullptr) {
        return {};
    }
    return map->l_name;
}

}  // namespace

std::string ThisModuleFileName() {
    const std::string name = LinkMapName();
    if (name.empty()) {
        return ExecutableFileName();
    }
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(name.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// The link's length is unknown beforehand: a buffer that it fills completely may have cut it.
std::string ExecutableFileName() {
    for (size_t size = 256; size <= 65536; size *= 2) {
        std::string buffer(size, '\0');
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<size_t>(length));
            return buffer;
        }
    }
    return {};
}
