#include "crash/posix/ModuleListStream.h"

#include "crash/posix/DumpString.h"

namespace ExceptionTranslator::minidump {

Directory WriteModuleList(DumpFile& file, DumpWorkspace& workspace, size_t count,
                          std::string_view mapsText) noexcept {
    for (size_t i = 0; i < count; ++i) {
        workspace.moduleNames[i] =
            AppendDumpString(file, MappingPath(mapsText, *workspace.modules[i].first),
                             workspace.name, DumpWorkspace::kNameCapacity);
    }
    const auto modules = static_cast<uint32_t>(count);
    const LocationDescriptor list = file.AppendRecord(modules);
    for (size_t i = 0; i < count; ++i) {
        const LoadedModule& loaded = workspace.modules[i];
        Module entry;
        entry.baseOfImage = loaded.base;
        entry.sizeOfImage = static_cast<uint32_t>(loaded.end - loaded.base);
        entry.moduleNameRva = workspace.moduleNames[i];
        file.AppendRecord(entry);
    }
    return {kModuleListStream,
            {static_cast<uint32_t>(sizeof(modules) + count * sizeof(Module)), list.rva}};
}

}  // namespace ExceptionTranslator::minidump
