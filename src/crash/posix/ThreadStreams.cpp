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

bool Captured(const OtherThread& thread) noexcept {
    return thread.context.dataSize > 0;
}

}  // namespace

MemoryDescriptor AppendStack(DumpFile& file, uint64_t stackPointer, const Mapping* mappings,
                             size_t count) noexcept {
    return AppendRange(
        file, ReadableRange(stackPointer, kRedZone, kMaxStack - kRedZone, mappings, count));
}

FaultingThread AppendFaultingThread(DumpFile& file, const ContextAmd64& context,
                                    const Mapping* mappings, size_t count) noexcept {
    FaultingThread thread;
    thread.context = file.AppendRecord(context);
    thread.stack = AppendStack(file, context.rsp, mappings, count);
    thread.code =
        AppendRange(file, ReadableRange(context.rip, kCodeAround, kCodeAround, mappings, count));
    return thread;
}

Directory WriteThreadList(DumpFile& file, const CrashRecord& record, const FaultingThread& thread,
                          const OtherThreads& others) noexcept {
    uint32_t threads = 1;
    for (uint32_t i = 0; i < others.count; ++i) {
        threads += Captured(others.threads[i]) ? 1u : 0u;
    }
    const LocationDescriptor list = file.AppendRecord(threads);
    Thread entry;
    entry.threadId = static_cast<uint32_t>(record.thread);
    entry.stack = thread.stack;
    entry.threadContext = thread.context;
    file.AppendRecord(entry);
    for (uint32_t i = 0; i < others.count; ++i) {
        const OtherThread& other = others.threads[i];
        if (Captured(other)) {
            file.AppendRecord(Thread{other.id, 0, 0, 0, 0, other.stack, other.context});
        }
    }
    return {kThreadListStream,
            {static_cast<uint32_t>(sizeof(threads) + threads * sizeof(entry)), list.rva}};
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

Directory WriteMemoryList(DumpFile& file, const FaultingThread& thread,
                          const OtherThreads& others) noexcept {
    uint32_t count = 0;
    auto each = [&](auto&& visit) {
        for (const MemoryDescriptor* range : {&thread.stack, &thread.code}) {
            visit(*range);
        }
        for (uint32_t i = 0; i < others.count; ++i) {
            visit(others.threads[i].stack);
        }
    };
    each([&count](const MemoryDescriptor& range) { count += range.memory.dataSize > 0 ? 1u : 0u; });
    const LocationDescriptor list = file.AppendRecord(count);
    each([&file](const MemoryDescriptor& range) {
        if (range.memory.dataSize > 0) {
            file.AppendRecord(range);
        }
    });
    return {kMemoryListStream,
            {static_cast<uint32_t>(sizeof(count) + count * sizeof(MemoryDescriptor)), list.rva}};
}

}  // namespace ExceptionTranslator::minidump
