#include "crash/posix/LinuxMiniDump.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <string_view>

#include "crash/posix/DumpFile.h"
#include "crash/posix/DumpFileOpening.h"
#include "crash/posix/DumpWorkspace.h"
#include "crash/posix/LinuxTextStreams.h"
#include "crash/posix/ModuleListStream.h"
#include "crash/posix/SignalContext.h"
#include "crash/posix/SystemInfoStream.h"
#include "crash/posix/ThreadStreams.h"

namespace ExceptionTranslator {
namespace {

namespace md = minidump;

std::atomic_flag g_writing;  // set while a dump is written

constexpr size_t kMaxStreams = 12;

struct StreamDirectory {
    md::Directory entries[kMaxStreams] = {};
    uint32_t count = 0;

    void Add(const md::Directory& entry) noexcept {
        if (count < kMaxStreams) {
            entries[count++] = entry;
        }
    }
};

// The maps text up to its last complete line, and its mappings parsed.
md::ParsedMaps ReadProcessMaps(md::DumpWorkspace& workspace) noexcept {
    const size_t length =
        md::ReadWholeFile("/proc/self/maps", workspace.maps, md::DumpWorkspace::kMapsCapacity);
    std::string_view text(workspace.maps, length);
    text = text.substr(0, text.rfind('\n') + 1);  // npos + 1 leaves nothing
    return {text, md::ParseMaps(text, workspace.mappings, md::DumpWorkspace::kMaxMappings)};
}

void WriteThreadStreams(md::DumpFile& file, const CrashRecord& record, md::DumpWorkspace& workspace,
                        const md::ParsedMaps& maps, StreamDirectory& directory) noexcept {
    workspace.context = md::ContextAmd64{};
    if (record.context != nullptr) {
        md::FillContext(*record.context, workspace.context);
    }
    const md::FaultingThread thread =
        md::AppendFaultingThread(file, workspace.context, workspace.mappings, maps.count);
    md::AppendOtherThreads(file, record.thread, workspace.mappings, maps.count,
                           workspace.otherThreads);
    directory.Add(md::WriteThreadList(file, record, thread, workspace.otherThreads));
    directory.Add(md::WriteException(file, record, thread));
    directory.Add(md::WriteMemoryList(file, thread, workspace.otherThreads));
}

void WriteProcessStreams(md::DumpFile& file, md::DumpWorkspace& workspace,
                         const md::ParsedMaps& maps, StreamDirectory& directory) noexcept {
    const size_t modules = md::CollectModules(maps.text, workspace.mappings, maps.count,
                                              workspace.modules, md::DumpWorkspace::kMaxModules);
    directory.Add(md::WriteModuleList(file, workspace, modules, maps));
    directory.Add(md::WriteMiscInfo(file));
    directory.Add(md::WriteText(file, md::kLinuxMapsStream, maps.text));
    const struct {
        uint32_t type;
        const char* path;
    } procFiles[] = {{md::kLinuxProcStatusStream, "/proc/self/status"},
                     {md::kLinuxCmdLineStream, "/proc/self/cmdline"},
                     {md::kLinuxAuxvStream, "/proc/self/auxv"}};
    for (const auto& procFile : procFiles) {
        directory.Add(md::WriteProcFile(file, procFile.type, procFile.path, workspace.text,
                                        md::DumpWorkspace::kTextCapacity));
    }
}

bool WriteDump(int fd, const CrashRecord& record, md::DumpWorkspace& workspace) noexcept {
    md::DumpFile file(fd);
    md::Header header;
    StreamDirectory directory;
    file.AppendRecord(header);
    file.AppendRecord(directory.entries);
    const md::ParsedMaps maps = ReadProcessMaps(workspace);
    directory.Add(md::WriteSystemInfo(file, workspace.processors, workspace.name,
                                      md::DumpWorkspace::kNameCapacity));
    WriteThreadStreams(file, record, workspace, maps, directory);
    WriteProcessStreams(file, workspace, maps, directory);
    header.numberOfStreams = directory.count;
    header.streamDirectoryRva = sizeof(header);
    header.timeDateStamp = static_cast<uint32_t>(time(nullptr));
    file.WriteAt(0, &header, sizeof(header));
    file.WriteAt(sizeof(header), directory.entries, directory.count * sizeof(md::Directory));
    return file.Ok();
}

}  // namespace

bool ReserveLinuxMiniDumpMemory() noexcept {
    return md::ReserveWorkspace();
}

DumpFileOutcome WriteLinuxMiniDump(const char* path, const CrashRecord& record,
                                   int* tracingRefused) noexcept {
    md::DumpWorkspace* workspace = md::Workspace();
    if (workspace == nullptr || path == nullptr || g_writing.test_and_set()) {
        return DumpFileOutcome::Failed;
    }
    const int savedErrno = errno;
    DumpFileOutcome outcome = DumpFileOutcome::Failed;
    const int fd = md::OpenDumpFile(path, outcome);
    if (fd >= 0) {
        const bool written = WriteDump(fd, record, *workspace);
        if (tracingRefused != nullptr) {
            *tracingRefused = workspace->otherThreads.refusal;
        }
        outcome = close(fd) == 0 && written ? DumpFileOutcome::Written : DumpFileOutcome::Failed;
    }
    errno = savedErrno;
    g_writing.clear();
    return outcome;
}

}  // namespace ExceptionTranslator
