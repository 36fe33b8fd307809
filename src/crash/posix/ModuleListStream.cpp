#include "crash/posix/ModuleListStream.h"

#include "crash/posix/DumpString.h"
#include "crash/posix/ElfBuildId.h"

namespace ExceptionTranslator::minidump {
namespace {

// The code view record lldb reads an ELF build id from: this signature ("LEpB" in the file), then
// the id's bytes.
constexpr uint32_t kElfBuildIdSignature = 0x4270454c;

LocationDescriptor AppendBuildId(DumpFile& file, uint64_t base, const DumpWorkspace& workspace,
                                 size_t mappings) noexcept {
    const BuildId id = FindBuildId(base, workspace.mappings, mappings);
    if (id.size == 0) {
        return {};
    }
    const LocationDescriptor record = file.AppendRecord(kElfBuildIdSignature);
    file.Append(id.bytes, id.size);
    return {static_cast<uint32_t>(sizeof(kElfBuildIdSignature) + id.size), record.rva};
}

Module ModuleEntry(const DumpWorkspace& workspace, size_t index) noexcept {
    const LoadedModule& loaded = workspace.modules[index];
    Module entry;
    entry.baseOfImage = loaded.base;
    entry.sizeOfImage = static_cast<uint32_t>(loaded.end - loaded.base);
    entry.moduleNameRva = workspace.moduleNames[index];
    entry.cvRecord = workspace.moduleBuildIds[index];
    return entry;
}

}  // namespace

Directory WriteModuleList(DumpFile& file, DumpWorkspace& workspace, size_t modules,
                          const ParsedMaps& maps) noexcept {
    for (size_t i = 0; i < modules; ++i) {
        const LoadedModule& loaded = workspace.modules[i];
        workspace.moduleNames[i] = AppendDumpString(file, MappingPath(maps.text, *loaded.first),
                                                    workspace.name, DumpWorkspace::kNameCapacity);
        workspace.moduleBuildIds[i] = AppendBuildId(file, loaded.base, workspace, maps.count);
    }
    const auto count = static_cast<uint32_t>(modules);
    const LocationDescriptor list = file.AppendRecord(count);
    for (size_t i = 0; i < modules; ++i) {
        file.AppendRecord(ModuleEntry(workspace, i));
    }
    return {kModuleListStream,
            {static_cast<uint32_t>(sizeof(count) + modules * sizeof(Module)), list.rva}};
}

}  // namespace ExceptionTranslator::minidump
