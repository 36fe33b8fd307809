#include "crash/posix/LinuxTextStreams.h"

#include <unistd.h>

#include "crash/posix/ProcMaps.h"

namespace ExceptionTranslator::minidump {

Directory WriteProcFile(DumpFile& file, uint32_t streamType, const char* path, char* buffer,
                        size_t capacity) noexcept {
    const size_t length = ReadWholeFile(path, buffer, capacity);
    return WriteText(file, streamType, std::string_view(buffer, length));
}

Directory WriteText(DumpFile& file, uint32_t streamType, std::string_view text) noexcept {
    return {streamType, file.Append(text.data(), text.size())};
}

Directory WriteMiscInfo(DumpFile& file) noexcept {
    MiscInfo info;
    info.flags1 = kMiscProcessId;
    info.processId = static_cast<uint32_t>(getpid());
    return {kMiscInfoStream, file.AppendRecord(info)};
}

}  // namespace ExceptionTranslator::minidump
