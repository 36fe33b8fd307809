#include "crash/posix/LoadedModules.h"

namespace ExceptionTranslator::minidump {
namespace {

bool IsFile(std::string_view path) noexcept {
    return !path.empty() && path.front() == '/';
}

}  // namespace

size_t CollectModules(std::string_view mapsText, const Mapping* mappings, size_t count,
                      LoadedModule* modules, size_t capacity) noexcept {
    size_t found = 0;
    LoadedModule current;
    bool executable = false;
    auto finish = [&] {
        if (current.first != nullptr && executable && found < capacity) {
            modules[found++] = current;
        }
    };
    for (size_t i = 0; i < count; ++i) {
        const Mapping& mapping = mappings[i];
        const std::string_view path = MappingPath(mapsText, mapping);
        if (!IsFile(path)) {
            continue;
        }
        const bool sameFile = current.first != nullptr && mapping.offset != 0 &&
                              MappingPath(mapsText, *current.first) == path;
        if (sameFile) {
            current.end = mapping.end;
            executable = executable || mapping.executable;
            continue;
        }
        finish();
        current = {mapping.start, mapping.end, &mapping};
        executable = mapping.executable;
    }
    finish();
    return found;
}

}  // namespace ExceptionTranslator::minidump
