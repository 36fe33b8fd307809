#include "crash/posix/ThreadStreams.h"

namespace ExceptionTranslator::minidump {
namespace {

constexpr uint64_t kRedZone = 128;  // below the stack pointer, which leaf functions may use
constexpr uint64_t kMaxStack = uint64_t{64} * 1024;
constexpr uint64_t kCodeAround = 128;  // on each side of the instruction pointer

struct Range {
    uint64_t start = 0;
    uint64_t end = 0;
};

// [around - before, around + after) cut to the readable mapping that holds `around`; with no
// mappings known the range is taken as it is.
Range ReadableRange(uint64_t around, uint64_t before, uint64_t after, const Mapping* mappings,
                    size_t count) noexcept {
    Range range{around > before ? around - before : 0, around + after};
    if (count == 0) {
        return range;
    }
    const Mapping* mapping = FindMapping(mappings, count, around);
    if (mapping == nullptr || !mapping->readable) {
        return {};
    }
    range.start = range.start < mapping->start ? mapping->start : range.start;
    range.end = range.end > mapping->end ? mapping->end : range.end;
    return range;
}

MemoryDescriptor AppendRange(DumpFile& file, Range range) noexcept {
    if (range.end <= range.start) {
        return {};
    }
    return {range.start, file.AppendMemory(range.start, range.end - range.start)};
}

}  // namespace

FaultingThread AppendFaultingThread(DumpFile& file, const ContextAmd64& context,
                                    const Mapping* mappings, size_t count) noexcept {
    FaultingThread thread;
    thread.context = file.AppendRecord(context);
    thread.stack = AppendRange(
        file, ReadableRange(context.rsp, kRedZone, kMaxStack - kRedZone, mappings, count));
    thread.code =
        AppendRange(file, ReadableRange(context.rip, kCodeAround, kCodeAround, mappings, count));
    return thread;
}

Directory WriteThreadList(DumpFile& file, const CrashRecord& record,
                          const FaultingThread& thread) noexcept {
    const uint32_t threads = 1;
    const LocationDescriptor list = file.AppendRecord(threads);
    Thread entry;
    entry.threadId = static_cast<uint32_t>(record.thread);
    entry.stack = thread.stack;
    entry.threadContext = thread.context;
    file.AppendRecord(entry);
    return {kThreadListStream, {sizeof(threads) + sizeof(entry), list.rva}};
}

Directory WriteException(DumpFile& file, const CrashRecord& record,
                         const FaultingThread& thread) noexcept {
    ExceptionStream stream;
    stream.threadId = static_cast<uint32_t>(record.thread);
    stream.exceptionRecord.exceptionCode = static_cast<uint32_t>(record.signal);
    if (record.info != nullptr) {
        stream.exceptionRecord.exceptionFlags = static_cast<uint32_t>(record.info->si_code);
        stream.exceptionRecord.exceptionAddress = reinterpret_cast<uint64_t>(record.info->si_addr);
    }
    stream.threadContext = thread.context;
    return {kExceptionStream, file.AppendRecord(stream)};
}

Directory WriteMemoryList(DumpFile& file, const FaultingThread& thread) noexcept {
    MemoryDescriptor ranges[2];
    uint32_t count = 0;
    for (const MemoryDescriptor& range : {thread.stack, thread.code}) {
        if (range.memory.dataSize > 0) {
            ranges[count++] = range;
        }
    }
    const LocationDescriptor list = file.AppendRecord(count);
    file.Append(ranges, count * sizeof(MemoryDescriptor));
    return {kMemoryListStream,
            {static_cast<uint32_t>(sizeof(count) + count * sizeof(MemoryDescriptor)), list.rva}};
}

}  // namespace ExceptionTranslator::minidump
